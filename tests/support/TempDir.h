// A fresh folder under the system temp folder, removed with its contents at the end.
#pragma once

#include <filesystem>
#include <string>

namespace qdtest {

class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::filesystem::path& path() const { return path_; }
    std::string str() const { return path_.string(); }
    std::filesystem::path operator/(const std::string& name) const { return path_ / name; }

private:
    std::filesystem::path path_;
};

// Whole contents of a file ("" when missing).
std::string readFile(const std::filesystem::path& p);
void writeFile(const std::filesystem::path& p, const std::string& contents);

} // namespace qdtest
