#pragma once

#include "workflow/ConvertEngine.h"

#include <condition_variable>
#include <deque>
#include <functional>
#include <map>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

namespace quillon {

// The convertible files that paths name: a file when IsConvertibleFile accepts it; a folder's
// convertible files, its subfolders' too (symbolic links to folders are not followed), each
// folder's entries in natural name order without regard to letter case ("track2" before
// "Track10"). Paths that name nothing are left out.
std::vector<std::string> ExpandConvertPaths(const std::vector<std::string>& paths);

// Fills the converter's file list without holding up the window: each Add expands its paths,
// leaves out the files listed already (by an earlier Add, or twice in this one; the same file
// under another name counts as listed), and reads the rows of the rest on a few threads at
// once. The rows arrive through OnRows in the order of the paths, a batch at a time, on a
// thread of the loader's; the window queues them to its own thread. Adds are handled one after
// the other.
class TConvertListLoader {
public:
    TConvertListLoader();
    // Stops reading and waits for the loader's threads; rows not delivered yet are dropped.
    ~TConvertListLoader();
    TConvertListLoader(const TConvertListLoader&) = delete;
    TConvertListLoader& operator=(const TConvertListLoader&) = delete;

    // The next rows of an Add (loader thread); last is true for the Add's final batch, which
    // may be empty. Set before the first Add.
    std::function<void(std::vector<ConvertRow> rows, bool last)> OnRows;

    void Add(std::vector<std::string> paths);
    // The row of this file left the list: the file may be added again.
    void Forget(const std::string& fileName);

    // The most rows in one batch; a batch also goes out when its rows have waited a while.
    static constexpr size_t kBatchRows = 200;

private:
    void Run();
    void Load(const std::vector<std::string>& paths);
    // The files not listed yet, now listed.
    std::vector<std::string> TakeNew(const std::vector<std::string>& files);

    std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<std::vector<std::string>> requests_; // guarded by mutex_
    bool ending_ = false;                           // guarded by mutex_
    // The listed files: each file's identity (its canonical path), and the files by it.
    std::map<std::string, std::string> identityOf_; // guarded by mutex_
    std::set<std::string> identities_;              // guarded by mutex_
    std::thread thread_;
};

} // namespace quillon
