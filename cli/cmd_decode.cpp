#include <cstdio>
#include <fstream>

#include <CLI/CLI.hpp>
#include <nlohmann/json.hpp>

#include "cli/binary_stdin.h"
#include "cli/cli.h"
#include "cli/command.h"
#include "cli/hex.h"
#include "cli/settings_view.h"
#include "cli/usage_error.h"
#include "protocol/reply_receiver.h"

namespace tovra::cli {

namespace {

std::string Hex2(std::uint8_t v) {
    char buffer[8];
    std::snprintf(buffer, sizeof buffer, "0x%02X", v);
    return buffer;
}

// Runs bytes through a reply receiver and describes each frame that ends.
class FrameDescriber {
  public:
    explicit FrameDescriber(bool json) : json_(json) {}

    // Text for the outcome this byte completes, or an empty string.
    std::string Feed(std::uint8_t b) {
        const int held = receiver_.RxCount();
        const auto outcome = receiver_.OnByte(b);
        if (!outcome) {
            return {};
        }
        // The finished frame is still in the buffer: what was held plus this byte.
        const std::span<const std::uint8_t> frame(receiver_.RxBuffer(),
                                                  static_cast<std::size_t>(held) + 1);
        return json_ ? Json(*outcome, frame).dump() + "\n" : Text(*outcome, frame) + "\n";
    }

  private:
    nlohmann::ordered_json Json(const ReplyOutcome& outcome,
                                std::span<const std::uint8_t> frame) const {
        nlohmann::ordered_json j = nlohmann::ordered_json::object();
        const ModuleSettings& d = receiver_.Decoded();
        if (outcome.kind == ReplyKind::ChecksumError) {
            j["kind"] = "checksum-error";
        } else if (outcome.kind == ReplyKind::Acknowledged) {
            j["kind"] = "acknowledged";
            j["command"] = frame[6];
            j["length"] = frame[7];
        } else if (outcome.content == ReplyContent::Version) {
            j["kind"] = "version";
            j["command"] = frame[6];
            j["version"] = VersionJson(d.VersionCode);
            j["code"] = d.VersionCode;
        } else {
            j["kind"] = "settings";
            j["command"] = frame[6];
            j.update(SettingsJson(d));
            j["raw"] = FormatHex(frame.subspan(8, kSettingsBlockSize));
        }
        j["frame"] = FormatHex(frame);
        return j;
    }

    std::string Text(const ReplyOutcome& outcome, std::span<const std::uint8_t> frame) const {
        const ModuleSettings& d = receiver_.Decoded();
        if (outcome.kind == ReplyKind::ChecksumError) {
            return "checksum-error: " + FormatHex(frame);
        }
        if (outcome.kind == ReplyKind::Acknowledged) {
            return "acknowledged (command " + Hex2(frame[6]) + ", L " + std::to_string(frame[7]) +
                   ")";
        }
        if (outcome.content == ReplyContent::Version) {
            return "version (command " + Hex2(frame[6]) + "): " + VersionText(d.VersionCode);
        }
        std::string text = "settings (command " + Hex2(frame[6]) + "): ";
        for (std::size_t i = 0; i < kFields.size(); ++i) {
            text += (i == 0 ? "" : ", ") + std::string(FieldName(kFields[i])) + " " +
                    FieldText(kFields[i], d);
        }
        return text;
    }

    bool json_;
    ReplyReceiver receiver_;
};

class DecodeCommand : public Command {
  public:
    CLI::App* Register(CLI::App& app) override {
        CLI::App* sub = app.add_subcommand(
            "decode",
            "Run a reply byte stream (hex text, or raw with --binary) through the "
            "reply receiver; one line per frame");
        sub->add_option("FILE", file_, "Input file (default: standard input)")->type_name("FILE");
        sub->add_flag("--binary", binary_, "The input is raw bytes, not hex text");
        sub->add_flag("--json", json_, "One JSON object per line");
        return sub;
    }

    int Run(RunContext& ctx) override {
        std::ifstream file;
        std::istream* in = &ctx.in;
        if (binary_ && file_.empty()) {
            UseBinaryStandardInput();
        }
        if (!file_.empty()) {
            file.open(file_, std::ios::binary);
            if (!file) {
                throw UsageError("decode: cannot read " + file_);
            }
            in = &file;
        }
        FrameDescriber describer(json_);
        HexTextReader hex;
        char chunk[4096];
        while (*in) {
            in->read(chunk, sizeof chunk);
            const std::streamsize got = in->gcount();
            if (in->bad()) {
                throw UsageError("decode: cannot read " +
                                 (file_.empty() ? "standard input" : file_));
            }
            std::string text;
            try {
                for (std::streamsize i = 0; i < got; ++i) {
                    if (binary_) {
                        text += describer.Feed(static_cast<std::uint8_t>(chunk[i]));
                    } else if (const auto b = hex.Feed(chunk[i])) {
                        text += describer.Feed(*b);
                    }
                }
            } catch (const UsageError&) {
                ctx.console.Out(text);  // the frames before the bad character stand
                throw;
            }
            ctx.console.Out(text);
        }
        if (!binary_) {
            hex.Finish();
        }
        return kExitOk;
    }

  private:
    std::string file_;
    bool binary_ = false;
    bool json_ = false;
};

}  // namespace

std::unique_ptr<Command> MakeDecodeCommand() {
    return std::make_unique<DecodeCommand>();
}

}  // namespace tovra::cli
