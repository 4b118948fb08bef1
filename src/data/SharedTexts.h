#pragma once

#include <QSet>
#include <QString>
#include <QVariant>

#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

// The texts of one result, each read once: every cell with an equal text shares its copy, which
// keeps a year of entry rows small and spares decoding the same name again. A column often
// repeats the text of the row before (an entry's date and description on each of its lines):
// that is asked first, without hashing.
class SharedTexts {
public:
    QString fromUtf8(int column, const char *bytes, int size)
    {
        const std::string_view key(bytes, size_t(size));
        if (size_t(column) >= m_previous.size())
            m_previous.resize(size_t(column) + 1);
        const auto *previous = m_previous[size_t(column)];
        if (previous && previous->first == key)
            return previous->second;
        auto found = m_byBytes.find(key);
        if (found == m_byBytes.end())
            found = m_byBytes.emplace(std::string(key), QString::fromUtf8(bytes, size)).first;
        m_previous[size_t(column)] = &*found;
        return found->second;
    }

    QVariant shared(const QVariant &cell)
    {
        // A server's NULL text stays NULL, not an empty text.
        if (cell.typeId() != QMetaType::QString || cell.isNull())
            return cell;
        return *m_texts.insert(cell.toString());
    }

private:
    struct BytesHash {
        using is_transparent = void;
        size_t operator()(std::string_view bytes) const
        {
            return std::hash<std::string_view>{}(bytes);
        }
    };
    // Nodes stay where they are as the map grows: the previous texts point into it.
    std::unordered_map<std::string, QString, BytesHash, std::equal_to<>> m_byBytes;
    std::vector<const std::pair<const std::string, QString> *> m_previous;
    QSet<QString> m_texts;
};
