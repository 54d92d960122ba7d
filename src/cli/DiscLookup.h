#pragma once

#include "cddb/Cddb.h"
#include "cli/OptionParser.h"
#include "workflow/Settings.h"

#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace quillon {
class TCDIn;
}

namespace quillon::cli {

// The CD database server of a lookup as --server and --protocol choose it; the setting
// "FreeDBServer" and HTTP when they are not given.
class CddbServerChoice {
public:
    // Adds --server and --protocol to a command.
    void AddOptions(OptionParser& parser);
    // "host" or "host:port".
    std::string Server(const Settings& settings) const;
    TServerType Type() const { return type_; }

private:
    std::string server_;
    TServerType type_ = TServerType::HTTP;
};

// Reads the identifier of the disc in cdIn's current drive into the client (its Toc and
// DiscId). On failure prints the one-line error and returns the exit status (1).
std::optional<int> ReadDiscIdentifier(const std::string& command, TCDIn& cdIn, TCddb& cddb);

// What a finished lookup gives.
struct DiscLookupResult {
    TCDInfo info;
    std::vector<std::string> log; // the status and data lines, for FillFromCddbEntry
};

// Looks the disc the client identified up on the chosen server, waiting on an event loop of
// its own; with -v the status and data lines go to the error stream. On failure (no match, an
// error reply, the network, a stop) prints the one-line error and returns the exit status: 1,
// or what stopSignal returns once it is not 0 (it is asked every 50 ms while the lookup runs).
std::optional<int> LookUpDisc(const std::string& command, TCddb& cddb,
                              const CddbServerChoice& server, const Settings& settings,
                              Verbosity verbosity, DiscLookupResult& result,
                              const std::function<int()>& stopSignal = {});

} // namespace quillon::cli
