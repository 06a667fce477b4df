// What the benchmarks over generated Security logs share: the log, a store
// with the project's message files registered, a measured child process, and
// evtxexport's time on the same file.
#pragma once

#include <cstddef>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

namespace vzrm::bench {

// What a generated log holds. `sparse`: 10 % of the events accesses to
// .zrm files; `dense`: nine events in ten file accesses, most of them
// becoming rows; `site`: a recording site's (site_log.h).
enum class LogShape { sparse, dense, site };

// A generated EVTX of `events` events of `shape`, from one machine or, as a
// collector holds them, from `machines` (the site's log has three of its
// own); made once and kept in the build folder. `classic`: the same events
// in a classic log.
std::string GeneratedLog(std::size_t events, std::size_t machines = 1, bool classic = false,
                         LogShape shape = LogShape::sparse);

// A 64 MiB EVTX of real chunks, stitched from the samples beside the
// repository (or in VZRM_SAMPLES_DIR) with their stitch_evtx.py; made once and kept in the build
// folder. Empty when the samples are not there.
std::string StitchedLog();
// The events of an EVTX file, counted through the reader.
std::size_t CountEvents(const std::string& log);

// A fresh folder for a store named `name`, with the message files in its
// system32 and the environment pointing there.
std::filesystem::path PrepareStoreFolder(const std::string& name);

// Opens the store in `folder` as the registry in force and registers the
// Security auditing provider's message files (call in the measured child).
bool InstallStore(const std::filesystem::path& folder);

struct ChildFigures {
    std::vector<double> values;  // what the work returned
    double peakMiB = 0;
    // The child's processor time (user and system) over its whole life: on a
    // busy machine a steadier figure than the elapsed time.
    double cpuSeconds = 0;
};
// Runs `work` in a child process so that its peak memory is its own; false
// when the child failed.
bool MeasureInChild(const std::function<std::vector<double>()>& work, std::size_t valueCount,
                    ChildFigures& figures);

// Reads the whole file, so that a timed run finds it in the page cache: this
// machine pages out files left unread for a minute.
void ReadIntoPageCache(const std::string& path);

// The median of `values` (the mean of the middle two when their count is even).
double Median(std::vector<double> values);

// evtxexport's time over the file (read into the page cache first), or 0 when
// it is not installed.
double EvtxexportSeconds(const std::string& log);

// Prints "WHAT: N events, K ITEMS, time, ns/event, events/s, peak" and the ratio to
// evtxexport over the same log. `figures.values` holds seconds, then K.
void PrintFigures(const char* what, const char* items, std::size_t events,
                  const ChildFigures& figures, const std::string& log);

// What a timer's run of the installed program into `reports` finds besides
// that: the installation record of `program`, the machine-wide lock, and the
// options an earlier run left, without dates (after InstallStore, in the child).
bool InstallProgram(const std::filesystem::path& folder, const std::string& program,
                    const std::filesystem::path& reports);

// One whole `program -c -rf reports` process without a display or terminal,
// on the store in `folder`: its elapsed seconds, or -1 when it did not
// complete; its processor time and peak resident memory into `figures` when
// given. Linux keeps the forking process's resident size over the exec in
// that peak: the benchmark's child is about 5 MiB then, below every run's own.
double RunProgram(const std::string& program, const std::filesystem::path& folder,
                  const std::filesystem::path& reports, ChildFigures* figures = nullptr);

}  // namespace vzrm::bench
