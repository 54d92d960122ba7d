#include "workflow/ConvertListLoader.h"

#include "workflow/ConvertRows.h"

#include <QString>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <filesystem>

namespace quillon {

namespace fs = std::filesystem;

namespace {

// How long read rows wait for more before they go out as a batch.
constexpr auto kBatchWait = std::chrono::milliseconds(40);

// Natural order of names without regard to case: runs of digits compare by their value
// ("track2" before "Track10"), the rest character by character, case-folded. The same in every
// locale, the C locale included (where a collator compares plain code points).
bool NaturalLess(const QString& a, const QString& b) {
    qsizetype i = 0;
    qsizetype j = 0;
    while (i < a.size() && j < b.size()) {
        if (a[i].isDigit() && b[j].isDigit()) {
            const auto digits = [](const QString& text, qsizetype& at) {
                while (at < text.size() && text[at] == '0') {
                    ++at;
                }
                const qsizetype start = at;
                while (at < text.size() && text[at].isDigit()) {
                    ++at;
                }
                return QStringView(text).mid(start, at - start);
            };
            const QStringView x = digits(a, i);
            const QStringView y = digits(b, j);
            if (x.size() != y.size()) {
                return x.size() < y.size();
            }
            if (const int order = x.compare(y); order != 0) {
                return order < 0;
            }
            continue;
        }
        const QChar x = a[i++].toCaseFolded();
        const QChar y = b[j++].toCaseFolded();
        if (x != y) {
            return x < y;
        }
    }
    if (i < a.size() || j < b.size()) {
        return j < b.size();
    }
    // Names equal but for case or leading zeros still get a fixed order.
    return a < b;
}

void AddFolder(const fs::path& folder, std::vector<std::string>& files) {
    std::error_code error;
    std::vector<std::pair<QString, fs::directory_entry>> entries;
    for (fs::directory_iterator it(folder, error), end; !error && it != end; it.increment(error)) {
        entries.emplace_back(QString::fromStdString(it->path().filename().string()), *it);
    }
    std::sort(entries.begin(), entries.end(),
              [](const auto& a, const auto& b) { return NaturalLess(a.first, b.first); });
    for (const auto& [name, entry] : entries) {
        std::error_code kindError;
        if (entry.is_directory(kindError) && !entry.is_symlink(kindError)) {
            AddFolder(entry.path(), files);
        } else if (entry.is_regular_file(kindError) && IsConvertibleFile(entry.path().string())) {
            files.push_back(entry.path().string());
        }
    }
}

} // namespace

std::vector<std::string> ExpandConvertPaths(const std::vector<std::string>& paths) {
    std::vector<std::string> files;
    for (const std::string& path : paths) {
        std::error_code error;
        const fs::file_status status = fs::status(path, error);
        if (fs::is_directory(status)) {
            AddFolder(path, files);
        } else if (fs::is_regular_file(status) && IsConvertibleFile(path)) {
            files.push_back(path);
        }
    }
    return files;
}

TConvertListLoader::TConvertListLoader() : thread_([this] { Run(); }) {}

TConvertListLoader::~TConvertListLoader() {
    {
        std::lock_guard lock(mutex_);
        ending_ = true;
    }
    changed_.notify_all();
    thread_.join();
}

void TConvertListLoader::Add(std::vector<std::string> paths) {
    {
        std::lock_guard lock(mutex_);
        requests_.push_back(std::move(paths));
    }
    changed_.notify_all();
}

void TConvertListLoader::Forget(const std::string& fileName) {
    std::lock_guard lock(mutex_);
    if (const auto it = identityOf_.find(fileName); it != identityOf_.end()) {
        identities_.erase(it->second);
        identityOf_.erase(it);
    }
}

void TConvertListLoader::Run() {
    while (true) {
        std::vector<std::string> paths;
        {
            std::unique_lock lock(mutex_);
            changed_.wait(lock, [this] { return ending_ || !requests_.empty(); });
            if (ending_) {
                return;
            }
            paths = std::move(requests_.front());
            requests_.pop_front();
        }
        Load(paths);
    }
}

std::vector<std::string> TConvertListLoader::TakeNew(const std::vector<std::string>& files) {
    std::vector<std::string> fresh;
    std::lock_guard lock(mutex_);
    for (const std::string& file : files) {
        std::error_code error;
        fs::path identity = fs::canonical(file, error);
        if (error) {
            continue; // gone since it was found
        }
        if (identities_.insert(identity.string()).second) {
            identityOf_[file] = identity.string();
            fresh.push_back(file);
        }
    }
    return fresh;
}

// Reads the rows on a few threads, each taking the next file not yet taken, and hands them out
// in the order of the files as soon as the rows before them are read too.
void TConvertListLoader::Load(const std::vector<std::string>& paths) {
    const std::vector<std::string> files = TakeNew(ExpandConvertPaths(paths));
    std::vector<ConvertRow> rows(files.size());
    std::vector<char> read(files.size(), 0); // guarded by mutex_
    std::atomic<size_t> next{0};
    const auto readRows = [&] {
        for (size_t i = next++; i < files.size(); i = next++) {
            {
                std::lock_guard lock(mutex_);
                if (ending_) {
                    return;
                }
            }
            ConvertRow row = MakeConvertRow(files[i]);
            std::lock_guard lock(mutex_);
            rows[i] = std::move(row);
            read[i] = 1;
            changed_.notify_all();
        }
    };
    const size_t threadCount =
        std::min<size_t>(files.size(), std::clamp(std::thread::hardware_concurrency(), 2u, 8u));
    std::vector<std::thread> readers;
    for (size_t i = 0; i < threadCount; ++i) {
        readers.emplace_back(readRows);
    }

    size_t delivered = 0;
    while (true) {
        std::vector<ConvertRow> batch;
        {
            std::unique_lock lock(mutex_);
            // The rows read in order from the first one not handed out; more are awaited while
            // the batch is small and young.
            const auto readyEnd = [&] {
                size_t end = delivered;
                while (end < files.size() && read[end] && end - delivered < kBatchRows) {
                    ++end;
                }
                return end;
            };
            const auto deadline = std::chrono::steady_clock::now() + kBatchWait;
            changed_.wait_until(lock, deadline, [&] {
                const size_t end = readyEnd();
                return ending_ || end == files.size() || end - delivered == kBatchRows;
            });
            while (readyEnd() == delivered && delivered < files.size() && !ending_) {
                changed_.wait(lock);
            }
            if (ending_) {
                break;
            }
            const size_t end = readyEnd();
            batch.assign(
                std::make_move_iterator(rows.begin() + static_cast<std::ptrdiff_t>(delivered)),
                std::make_move_iterator(rows.begin() + static_cast<std::ptrdiff_t>(end)));
            delivered = end;
        }
        const bool last = delivered == files.size();
        if (OnRows) {
            OnRows(std::move(batch), last);
        }
        if (last) {
            break;
        }
    }
    for (std::thread& reader : readers) {
        reader.join();
    }
}

} // namespace quillon
