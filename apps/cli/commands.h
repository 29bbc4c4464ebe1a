#pragma once
// The vdrec subcommands. Each returns the process exit status: 0 success, 1 failure.

#include <CLI/CLI.hpp>
#include <cstdint>
#include <optional>
#include <string>

namespace vdrec::cli {

inline constexpr int kExitOk = 0;
inline constexpr int kExitFailure = 1;
inline constexpr int kExitUsage = 2;

// What every image-reading command takes: the image, its kind, the first page's overrides.
struct ImageOptions {
    std::string image;
    std::string kind;  // empty: detect by content
    std::optional<uint64_t> diskSizeMegabytes;
    std::optional<uint32_t> tableEntries;
};

void addImageOptions(CLI::App& command, ImageOptions& options, bool withOverrides);

void addInfoCommand(CLI::App& app, int& status);
void addVolumesCommand(CLI::App& app, int& status);
void addExportCommand(CLI::App& app, int& status);
void addLsCommand(CLI::App& app, int& status);
void addRecoverCommand(CLI::App& app, int& status);
void addSearchCommand(CLI::App& app, int& status);
void addAnchorsCommand(CLI::App& app, int& status);
void addCarveCommand(CLI::App& app, int& status);
void addSignaturesCommand(CLI::App& app, int& status);

}  // namespace vdrec::cli
