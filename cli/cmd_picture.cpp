// info and convert: still pictures through the program's own reader and writer.
#include "cli/Cli.h"
#include "core/StillImage.h"

#include <iostream>

namespace plastora::cli {

namespace {

int runInfo(const std::vector<std::string>& argv) {
    Args args;
    std::string error;
    if (!args.parse(argv, {}, error)) return usageError("info", error);
    if (args.positional().size() != 1) return usageError("info", "expects one file");
    if (!args.unknown({}).empty()) return usageError("info", "unknown option --" + args.unknown({}).front());
    const std::string& path = args.positional()[0];
    CliHost host;
    Surface picture;
    int w = 0, h = 0;
    if (!LoadStillImage(host, path, std::nullopt, picture, w, h))
        return failure("ファイルの読み込みに失敗しました。");
    std::cout << "file: " << path << "\n"
              << "kind: picture\n"
              << "size: " << w << " x " << h << "\n";
    return kExitOk;
}

int runConvert(const std::vector<std::string>& argv) {
    Args args;
    std::string error;
    if (!args.parse(argv, {}, error)) return usageError("convert", error);
    if (!args.unknown({"quality"}).empty()) return usageError("convert", "unknown option --" + args.unknown({"quality"}).front());
    std::optional<int> quality;
    if (!args.getInt("quality", 10, 100, quality, error)) return usageError("convert", error);
    if (args.positional().size() != 2) return usageError("convert", "expects an input and an output file");
    CliHost host;
    Surface picture;
    int w = 0, h = 0;
    if (!LoadStillImage(host, args.positional()[0], std::nullopt, picture, w, h))
        return failure("ファイルの読み込みに失敗しました。");
    if (!SaveStillImage(host, picture, w, h, args.positional()[1], quality.value_or(80))) return kExitFailure;
    return kExitOk;
}

}  // namespace

PLASTORA_CLI_COMMAND({"info", "FILE", "prints what the file holds (picture size)", &runInfo});
PLASTORA_CLI_COMMAND({"convert", "IN OUT [--quality 10-100]",
                      "reads a picture and writes it as the program writes its own (JPEG by name, else 24-bit BMP)",
                      &runConvert});

}  // namespace plastora::cli
