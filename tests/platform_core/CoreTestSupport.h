// Small helpers for the platform core tests: scratch folders and file contents.
#pragma once

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace coretest {

// A new empty folder under the system's temporary folder; removed by the destructor.
class ScratchDir {
public:
    ScratchDir()
    {
        std::string pattern = (std::filesystem::temp_directory_path() / "tzcore-XXXXXX").string();
        if (mkdtemp(&pattern[0]))
            m_path = pattern;
    }
    ~ScratchDir()
    {
        std::error_code ignored;
        if (!m_path.empty())
            std::filesystem::remove_all(m_path, ignored);
    }
    ScratchDir(const ScratchDir&) = delete;
    ScratchDir& operator=(const ScratchDir&) = delete;

    const std::string& Path() const { return m_path; }
    std::string File(const std::string& inName) const { return m_path + "/" + inName; }

private:
    std::string m_path;
};

inline std::string ReadFile(const std::string& inPath)
{
    std::ifstream in(inPath, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

inline std::vector<std::string> Lines(const std::string& inText)
{
    std::vector<std::string> lines;
    std::istringstream in(inText);
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    return lines;
}

inline size_t CountOccurrences(const std::string& inText, const std::string& inNeedle)
{
    size_t count = 0;
    for (size_t at = inText.find(inNeedle); at != std::string::npos;
         at = inText.find(inNeedle, at + inNeedle.size()))
        ++count;
    return count;
}

} // namespace coretest
