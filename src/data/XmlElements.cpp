#include "data/XmlElements.h"

#include <cstring>

const char *localName(const pugi::xml_node &node)
{
    const char *name = node.name();
    const char *colon = std::strrchr(name, ':');
    return colon ? colon + 1 : name;
}

pugi::xml_node xmlChild(const pugi::xml_node &node, const char *name)
{
    for (pugi::xml_node c = node.first_child(); c; c = c.next_sibling())
        if (c.type() == pugi::node_element && std::strcmp(localName(c), name) == 0)
            return c;
    return {};
}

QList<pugi::xml_node> xmlChildren(const pugi::xml_node &node, const char *name)
{
    QList<pugi::xml_node> found;
    for (pugi::xml_node c = node.first_child(); c; c = c.next_sibling())
        if (c.type() == pugi::node_element && std::strcmp(localName(c), name) == 0)
            found << c;
    return found;
}

pugi::xml_node xmlPath(pugi::xml_node node, std::initializer_list<const char *> names)
{
    for (const char *name : names)
        node = xmlChild(node, name);
    return node;
}
