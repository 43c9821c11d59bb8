// Small helpers shared by the suites: scratch folders and whole-file reads.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

// A new, empty folder for one test, under the system's temporary folder.
std::filesystem::path makeScratchFolder(const std::string& name);

// The file's bytes; none when there is no file to read.
std::vector<std::uint8_t> readBytes(const std::filesystem::path& path);
std::string readText(const std::filesystem::path& path);
void writeBytes(const std::filesystem::path& path, const std::vector<std::uint8_t>& bytes);

// The names in a folder, sorted.
std::vector<std::string> folderEntries(const std::filesystem::path& folder);

// Splits text into lines, dropping a CR before each LF (Windows' text-mode output).
std::vector<std::string> textLines(const std::string& text);
