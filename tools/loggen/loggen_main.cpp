// evtxgen SCENARIO OUT.evtx          writes an EVTX log from a JSON Lines scenario
// evtgen [--max-size BYTES] SCENARIO OUT.evt
//                                    writes a classic log; with a maximum size the
//                                    file is circular and wraps when full
// SCENARIO "-" reads standard input. One program, named by how it is called.
#include <fstream>
#include <iostream>
#include <string>

#include "tools/loggen/evt_writer.h"
#include "tools/loggen/evtx_writer.h"

namespace {

int Usage(const std::string& program) {
    std::cerr << "usage: evtxgen SCENARIO.jsonl OUT.evtx\n"
                 "       evtgen [--max-size BYTES] SCENARIO.jsonl OUT.evt\n"
                 "(called as "
              << program << ")\n";
    return 2;
}

template <typename Writer>
int Generate(std::istream& in, Writer& writer) {
    vzrm::loggen::ScenarioReader reader(in);
    std::size_t count = 0;
    while (auto event = reader.Next()) {
        writer.Add(*event);
        ++count;
    }
    writer.Finish();
    return static_cast<int>(count > 0 ? 0 : 0);
}

}  // namespace

int main(int argc, char** argv) {
    const std::string program = argv[0];
    const bool classic =
        program.size() >= 6 && program.compare(program.size() - 6, 6, "evtgen") == 0;
    int arg = 1;
    std::uint32_t maxSize = 0;
    if (classic && argc > 2 && std::string(argv[1]) == "--max-size") {
        maxSize = static_cast<std::uint32_t>(std::stoul(argv[2]));
        arg = 3;
    }
    if (argc - arg != 2) {
        return Usage(program);
    }
    const std::string scenario = argv[arg];
    const std::string out = argv[arg + 1];
    std::ifstream file;
    if (scenario != "-") {
        file.open(scenario);
        if (!file) {
            std::cerr << program << ": cannot read " << scenario << "\n";
            return 1;
        }
    }
    std::istream& in = scenario == "-" ? std::cin : file;
    try {
        if (classic) {
            vzrm::loggen::EvtWriter writer(out, maxSize);
            return Generate(in, writer);
        }
        vzrm::loggen::EvtxWriter writer(out);
        return Generate(in, writer);
    } catch (const std::exception& error) {
        std::cerr << program << ": " << scenario << ": " << error.what() << "\n";
        std::remove(out.c_str());  // never leave a partial log behind
        return 1;
    }
}
