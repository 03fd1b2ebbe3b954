// What the player remembers between runs: the play list with titles and
// lengths, the current entry, the time within it, volume, shuffle and repeat,
// kept as one extended M3U8 file whose second line holds the player's own
// values:
//
//   #EXTM3U
//   #LYREBOX-STATE:current=2,position=61500,volume=200,shuffle=1,repeat=0
//   #EXTINF:215,Artist - Title
//   /music/a.mp3
//
// Players that read M3U8 skip the state line as a comment. One file means
// one atomic replacement: a save cut short leaves the previous state whole.
//
// Pure data and file functions; no thread of its own.
#pragma once

#include "host/player/PlayList.h"

#include <cstdint>
#include <string>
#include <vector>

namespace lyrebox {

struct SavedState {
    std::vector<PlayListItem> entries;
    int current = 0;
    std::int64_t positionMs = 0;
    int volume = 200;
    bool shuffle = false;
    bool repeat = false;
};

enum class LoadResult { Loaded, Missing, Damaged };

// $XDG_STATE_HOME/lyrebox, or ~/.local/state/lyrebox when it is unset or not
// absolute; empty when neither it nor HOME is known.
std::string stateFolder();
std::string stateFile(const std::string& folder);  // folder + "/playlist.m3u8"

// The file's text. Entries whose file name holds a line break cannot be
// written as a line and are left out (skipped counts them); line breaks in
// titles become blanks.
std::string formatState(const SavedState& state, std::size_t* skipped = nullptr);
// Damaged when the text is not an extended M3U8 with a valid state line, or
// a value is out of range.
LoadResult parseState(const std::string& text, SavedState& state);

// Replaces the file atomically (temporary file beside it, fsync, rename),
// creating the folder readable by its owner only; false on any failure.
bool writeStateFile(const std::string& path, const std::string& text);
LoadResult loadStateFile(const std::string& path, SavedState& state);

}  // namespace lyrebox
