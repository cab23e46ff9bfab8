#pragma once
// The six labels of the band below the editing pane: on each of three rows a
// caption and the value it names.
#include <array>

template <typename T>
struct BandLabels {
    T rwxFolderCaption; // "RWX folder"
    T zipFolderCaption; // "ZIP  folder", underlined: a click chooses the zip folder
    T prefixCaption;    // "Prefix"
    T rwxFolder;        // the folder of the script opened last
    T zipFolder;        // the folder the archives go to
    T prefix;           // the script's name before its running number

    // The captions top to bottom, then the values top to bottom.
    std::array<T, 6> inOrder() const
    {
        return {rwxFolderCaption, zipFolderCaption, prefixCaption, rwxFolder, zipFolder, prefix};
    }

    bool operator==(const BandLabels &) const = default;
};
