#pragma once

// The elements of an XML file read by their local names, whatever namespace prefix the file
// writes: "Ntry" and "camt:Ntry", "FatturaElettronica" and "p:FatturaElettronica" are one.

#include <QList>

#include <pugixml.hpp>

#include <initializer_list>

// The part of an element's name after its namespace prefix.
const char *localName(const pugi::xml_node &node);

// The first child element of that local name; an empty node when there is none.
pugi::xml_node xmlChild(const pugi::xml_node &node, const char *name);

// Every child element of that local name, in order.
QList<pugi::xml_node> xmlChildren(const pugi::xml_node &node, const char *name);

// The element at the end of a path of local names; an empty node when a step is missing.
pugi::xml_node xmlPath(pugi::xml_node node, std::initializer_list<const char *> names);
