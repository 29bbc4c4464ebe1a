// vdrec: recovers files from virtual hard-disk images, on the command line.

#include <CLI/CLI.hpp>

#include "commands.h"

int main(int argc, char** argv) {
    CLI::App app{"vdrec: recover files from virtual hard-disk images (VHD, VDI, VMDK, raw)"};
    app.require_subcommand(1);
    int status = vdrec::cli::kExitOk;
    vdrec::cli::addInfoCommand(app, status);
    vdrec::cli::addVolumesCommand(app, status);
    vdrec::cli::addLsCommand(app, status);
    vdrec::cli::addRecoverCommand(app, status);
    vdrec::cli::addSearchCommand(app, status);
    vdrec::cli::addAnchorsCommand(app, status);
    vdrec::cli::addExportCommand(app, status);
    vdrec::cli::addCarveCommand(app, status);
    vdrec::cli::addSignaturesCommand(app, status);
    try {
        app.parse(argc, argv);
    } catch (const CLI::CallForHelp& help) {
        return app.exit(help);
    } catch (const CLI::ParseError& error) {
        app.exit(error);
        return vdrec::cli::kExitUsage;
    }
    return status;
}
