#include "app/seal_command.h"

#include "app/history_command.h"
#include "app/tool_arguments.h"
#include "platform/seal.h"
#include "platform/services.h"
#include "report/json_text.h"
#include "report/seal_verify.h"

namespace vzrm {
namespace {

constexpr char kVerifyUsage[] =
    "usage: vzrmlog verify [DIR] [--key PUBLIC_KEY] [--format tsv|json]\n";
constexpr char kKeyUsage[] = "usage: vzrmlog key [--make]\n";

// Tabs and line ends would split a line of the listing.
std::string OneField(std::string text) {
    for (char& c : text) {
        if (c == '\t' || c == '\r' || c == '\n') {
            c = ' ';
        }
    }
    return text;
}

std::string ItemLine(const SEAL_ITEM& item, bool json) {
    if (json) {
        return CJsonObject()
                   .Text("status", SealStatusText(item.status))
                   .Text("kind", item.kind)
                   .Text("name", item.name)
                   .Text("detail", item.detail)
                   .Close() +
               "\n";
    }
    return std::string(SealStatusText(item.status)) + "\t" + item.kind + "\t" +
           OneField(item.name) + "\t" + OneField(item.detail) + "\n";
}

std::string TotalLine(const SEAL_CHECK& check, bool json) {
    static constexpr SealStatus kOrder[] = {SealStatus::ok,
                                            SealStatus::changed,
                                            SealStatus::missing,
                                            SealStatus::unsealed,
                                            SealStatus::inserted,
                                            SealStatus::brokenChain,
                                            SealStatus::unsealedBeforeSealing};
    if (json) {
        CJsonObject counts;
        for (const SealStatus status : kOrder) {
            counts.Number(SealStatusText(status), check.Count(status));
        }
        return CJsonObject()
                   .Number("items", check.Items())
                   .Json("total", counts.Close())
                   .Json("intact", check.Intact() ? "true" : "false")
                   .Close() +
               "\n";
    }
    std::string counts;
    for (const SealStatus status : kOrder) {
        counts += (counts.empty() ? "" : ", ") + std::to_string(check.Count(status)) + " " +
                  SealStatusText(status);
    }
    return "total\t" + std::to_string(check.Items()) + " items\t" + counts + "\t" +
           (check.Intact() ? "intact" : "NOT INTACT") + "\n";
}

int Flushed(std::ostream& out, std::ostream& err, const char* command, int status) {
    if (!out.flush()) {
        err << "vzrmlog " << command << ": the output could not be written\n";
        return status == 0 ? 1 : status;
    }
    return status;
}

}  // namespace

int RunVerifyCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    const ToolArguments parsed = ParseToolArguments(args, {"--key", "--format"}, true);
    if (parsed.help) {
        out << kVerifyUsage;
        return out.flush() ? 0 : 1;
    }
    if (!parsed.error.empty()) {
        err << "vzrmlog verify: " << parsed.error << "\n" << kVerifyUsage;
        return 2;
    }
    bool json = false;
    if (const auto format = parsed.options.find("--format"); format != parsed.options.end()) {
        if (format->second != "tsv" && format->second != "json") {
            err << "vzrmlog verify: " << format->second << ": the format is tsv or json\n";
            return 2;
        }
        json = format->second == "json";
    }
    std::vector<platform::TrustedSealKey> keys;
    std::string refusal;
    if (const auto key = parsed.options.find("--key"); key != parsed.options.end()) {
        platform::TrustedSealKey given;
        given.file = key->second;
        if (platform::ReadPublicKeyFile(key->second, given.key, refusal) != 0) {
            err << "vzrmlog verify: " << refusal << "\n";
            return 2;
        }
        keys.push_back(given);
    } else if (platform::SealKeys().TrustedKeys(keys, refusal) != 0) {
        err << "vzrmlog verify: " << refusal << "\n";
        return 2;
    }
    std::string folder = parsed.file;
    if (folder.empty() && (folder = StoredReportsFolder()).empty()) {
        err << "vzrmlog verify: no reports folder is stored in the options; name one\n";
        return 2;
    }
    const SEAL_CHECK check = VerifySealedFolder(
        folder, keys, [&](const SEAL_ITEM& item) { out << ItemLine(item, json); });
    if (!check.readable) {
        err << "vzrmlog verify: " << folder << ": " << check.problem << "\n";
        return Flushed(out, err, "verify", 2);
    }
    out << TotalLine(check, json);
    if (keys.empty() && check.Count(SealStatus::brokenChain) != 0) {
        err << "vzrmlog verify: no public key of this machine or account was found; name the "
               "seal's with --key\n";
    }
    return Flushed(out, err, "verify", check.Intact() ? 0 : 1);
}

int RunKeyCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    bool make = false;
    for (const std::string& arg : args) {
        if (arg == "--help" || arg == "-h") {
            out << kKeyUsage;
            return out.flush() ? 0 : 1;
        }
        if (arg != "--make") {
            err << "vzrmlog key: " << arg << ": unknown argument\n" << kKeyUsage;
            return 2;
        }
        make = true;
    }
    platform::SealSigningKey key;
    std::string refusal;
    if (platform::SealKeys().SigningKey(key, make, refusal) != 0) {
        err << "vzrmlog key: " << refusal << "\n";
        return 1;
    }
    out << key.publicKey.Fingerprint() << "\t" << key.publicKeyFile << "\n";
    return Flushed(out, err, "key", 0);
}

}  // namespace vzrm
