#pragma once
// A fresh folder under the Windows temporary directory, removed with its
// contents when the object goes away.

#include <string>

class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::string& Path() const { return path; }
    // Path of a file inside the folder.
    std::string File(const std::string& name) const { return path + "\\" + name; }

private:
    std::string path;
};

// Whole-file helpers for tests that look at what the program wrote.
std::string ReadWholeFile(const std::string& path);
void WriteWholeFile(const std::string& path, const std::string& bytes);
bool FileExists(const std::string& path);
// A file the build put in testdata\ beside the test program.
std::string TestDataFile(const std::string& name);
