#include <condition_variable>
#include <cstdio>
#include <deque>
#include <mutex>
#include <thread>
#include <nlohmann/json.hpp>

#include "commands.h"
#include "image/image_reader.h"
#include "image_options.h"
#include "platform/folders.h"
#include "raw/carve_area.h"
#include "raw/carver.h"
#include "raw/signature_file.h"
#include "volume_selection.h"
#include "volumes/volume_filter.h"

namespace vdrec::cli {

namespace {

struct CarveArgs {
    SelectionOptions selection;
    std::string signatures;
    bool noDefault = false;
    std::string outputFolder;
    bool json = false;
};

// The bytes to carve: a volume given by sectors is taken to the sector; a listed one by its size
// in megabytes. Never past the disk's end.
uint64_t areaBytes(const SelectionOptions& selection, const OpenedVolume& opened) {
    if (selection.startSector)
        return raw::carveAreaBytesOfSectors(opened.volume.startSector, selection.endSector.value_or(0),
                                            opened.state.totalSectors);
    const auto megabytes = static_cast<uint64_t>(std::max<int64_t>(volumes::leadingMegabytes(opened.volume.sizeText), 0));
    return raw::carveAreaBytes(opened.volume.startSector, megabytes, opened.state.totalSectors);
}

// Finds are written while the scan goes on, by a thread of their own.
class FindSaver {
public:
    FindSaver(raw::Carver& carver, const CarveArgs& args) : carver_(carver), args_(args) {
        thread_ = std::thread([this] { saveAll(); });
    }
    ~FindSaver() { finish(); }

    void add(const raw::FoundFile& file, const std::string& category) {
        {
            std::lock_guard lock(mutex_);
            queue_.push_back({file, category});
        }
        changed_.notify_one();
    }
    void finish() {
        {
            std::lock_guard lock(mutex_);
            if (done_) return;
            done_ = true;
        }
        changed_.notify_one();
        thread_.join();
    }
    uint64_t failed() const { return failed_; }
    uint64_t saved() const { return saved_; }

private:
    struct Item {
        raw::FoundFile file;
        std::string category;
    };

    void saveAll() {
        while (true) {
            Item item;
            {
                std::unique_lock lock(mutex_);
                changed_.wait(lock, [&] { return done_ || !queue_.empty(); });
                if (queue_.empty()) return;
                item = std::move(queue_.front());
                queue_.pop_front();
            }
            report(item, carver_.save(item.file, args_.outputFolder));
        }
    }

    void report(const Item& item, const raw::SavedFind& saved) {
        const bool ok = saved.error == 0 && !saved.readFailed;
        ok ? ++saved_ : ++failed_;
        if (args_.json) {
            nlohmann::ordered_json out;
            out["name"] = item.file.name;
            out["category"] = item.category;
            out["start"] = item.file.start;
            out["length"] = item.file.length;
            out["output"] = saved.output;
            out["status"] = ok ? "ok" : "error";
            std::printf("%s\n", out.dump().c_str());
        } else {
            std::printf("%-7s %-12llu %-12llu %s\n", ok ? "ok" : "error", static_cast<unsigned long long>(item.file.start),
                        static_cast<unsigned long long>(item.file.length), saved.output.c_str());
        }
    }

    raw::Carver& carver_;
    const CarveArgs& args_;
    std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<Item> queue_;
    bool done_ = false;
    uint64_t saved_ = 0, failed_ = 0;
    std::thread thread_;
};

int runCarve(const CarveArgs& args) {
    platform::HeadlessSink sink;
    if (!platform::isFolder(args.outputFolder)) return fail(sink, "Please select valid output folder");
    OpenedVolume opened;
    if (!selectVolume(args.selection, sink, opened)) return fail(sink, "file not opened..");
    sink.forgetMessages();
    const auto loaded = raw::loadSignatureFiles(args.noDefault ? "" : raw::defaultSignaturePath(), args.signatures, sink);
    if (loaded.userFailed) return fail(sink, "");
    if (loaded.records.empty()) {
        sink.forgetMessages();
        return fail(sink, raw::kEnterSignatureFile);
    }
    const uint64_t bytes = areaBytes(args.selection, opened);
    if (bytes == 0) return fail(sink, raw::kZeroSizeVolume);

    raw::Carver carver(*opened.state.reader);
    carver.addSignatures(loaded.records);
    carver.setArea(opened.volume.startSector, bytes);
    FindSaver saver(carver, args);
    carver.onFound = [&](const raw::FoundFile& file, const raw::Category& category) { saver.add(file, category.name); };
    const bool ran = carver.run(sink);
    saver.finish();
    std::fflush(stdout);
    if (!ran) return fail(sink, "");
    if (saver.failed() != 0) {
        sink.forgetMessages();
        return fail(sink, "Some found files could not be written completely.");
    }
    sink.forgetMessages();
    return kExitOk;
}

}  // namespace

void addCarveCommand(CLI::App& app, int& status) {
    auto args = std::make_shared<CarveArgs>();
    CLI::App* command = app.add_subcommand("carve", "Find files by their signatures in a volume or the whole disk and save them");
    addSelectionOptions(*command, args->selection);
    command->add_option("--signatures", args->signatures, "A signature file of your own, read after the default one");
    command->add_flag("--no-default", args->noDefault, "Do not read the default signature file (FileSetting.txt)");
    command->add_option("--out", args->outputFolder, "Output folder")->required();
    command->add_flag("--json", args->json, "One JSON object per found file");
    command->callback([args, &status] { status = runCarve(*args); });
}

}  // namespace vdrec::cli
