// An output file that appears under its name only when complete: it is written under a
// temporary name in the same folder and renamed by commit(); otherwise removed.
#pragma once

#include <string>

class PendingFile {
public:
    // Creates the empty temporary file; throws std::runtime_error naming the problem.
    explicit PendingFile(const std::string& target);
    ~PendingFile();  // removes the temporary file unless committed
    PendingFile(const PendingFile&) = delete;
    PendingFile& operator=(const PendingFile&) = delete;

    const std::string& path() const { return temporary; }  // where to write
    void commit();                                          // rename to the target

private:
    std::string target;     // the final name
    std::string temporary;  // the name written to
    bool committed;         // renamed already
};
