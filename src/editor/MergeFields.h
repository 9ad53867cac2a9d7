#pragma once
// The merge fields for the authority's data: which data tags name an item of
// EntityData, what a field shows when its item is empty, and which fields the
// fill unlocks.

#include <QString>
#include <array>

namespace orv {

struct MergeKey {
    const char* key;  // the data tag, upper case
    int placeholder;  // underscores shown when the value is empty
    bool unlock;      // the fill makes the field changeable and deletable
};

// In the order the fill compares them.
const std::array<MergeKey, 9>& mergeKeys();

// The key a data tag names (letters a-z compared as upper case), or nullptr.
const MergeKey* findMergeKey(const QString& tag);

// Empty means nothing left after removing every character of code 32 or
// less at both ends.
bool isBlankValue(const QString& value);

// The text a field shows: the value as stored, or the key's underscores.
QString mergeFieldText(const MergeKey& key, const QString& value);

} // namespace orv
