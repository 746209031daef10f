// Whole-file reads and replacing writes for the game's data files.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace jq {

// Reads at most `maxBytes` bytes of a regular file. nullopt when the file
// cannot be opened (missing, a directory, no permission).
std::optional<std::vector<uint8_t>> ReadFileBytes(const std::string& path, size_t maxBytes);

// Replaces the file's contents: the bytes go to a temporary file in the same
// folder (TempFileName), which is then renamed over the file, so a failed
// write leaves the old file as it was. The temporary name fits the folder
// whatever the file's name, is the same for every write of a file, and is
// one only this game makes: whatever an interrupted write left there is
// removed (the name, never what it links to) and the file made afresh, and
// two writers of one file at once take turns. A new file gets the mode the
// umask leaves of 0666; an existing one keeps its read, write and execute
// bits. Returns false, leaving no temporary file behind, when anything
// fails, the final close and the rename included, and at once for a name
// longer than the folder takes.
bool ReplaceFile(const std::string& path, const std::vector<uint8_t>& bytes);
// The temporary file of `path`: hidden, beside it, "game" giving
// ".game.jq-save". A name too long for that in its folder (whose limit is
// asked of the file system) keeps only its head, followed by a hash of the
// whole name: "~" and 16 hex digits before ".jq-save".
std::string TempFileName(const std::string& path);
// The same for a folder that takes names of at most `nameMax` bytes.
std::string TempFileName(const std::string& path, size_t nameMax);

// Under a file-size limit a write past it ends the process by default.
// This turns that into a failed write (EFBIG), so that the writers here
// report it and leave no temporary file. Called once at start-up by the
// game and by every tool that writes files; children inherit it.
void LetWritesFailPastSizeLimit();

// A folder path (with or without a trailing '/') followed by a name. An
// empty folder gives the name alone (the current directory).
std::string InFolder(std::string_view folder, std::string_view name);

}  // namespace jq
