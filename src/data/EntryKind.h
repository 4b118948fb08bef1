#pragma once

// What an entry is: an ordinary one, the opening of a fiscal year's accounts, or their closing.
// An entry's header keeps it in regmain.tipo as 0, 1 and -1.
enum class EntryKind { Closing = -1, Ordinary = 0, Opening = 1 };

// The kind as regmain.tipo stores it.
constexpr int storedKind(EntryKind kind)
{
    return int(kind);
}

// The kind a stored regmain.tipo names.
constexpr EntryKind entryKindOf(int stored)
{
    return stored < 0 ? EntryKind::Closing : stored > 0 ? EntryKind::Opening : EntryKind::Ordinary;
}
