// The seal's commands of vzrmlog:
//   `vzrmlog verify [DIR] [--key PUBLIC_KEY] [--format tsv|json]` checks a
//   reports folder against its seal (report/seal_verify.h); DIR defaults to
//   the stored reports folder. Without --key the lines may be signed by the
//   machine's key or this account's.
//   `vzrmlog key [--make]` prints the fingerprint and the public key file of
//   the key this account's runs seal with; --make makes a missing pair (the
//   package's postinst does, for the machine's).
#pragma once

#include <ostream>
#include <string>
#include <vector>

namespace vzrm {

// 0 when everything sealed is intact and nothing was added, 1 otherwise, 2
// when the folder, the seal or a key cannot be read, or for a wrong command
// line.
int RunVerifyCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

// 0 with "FINGERPRINT<TAB>PUBLIC-KEY-FILE", 1 when there is no key (or it
// could not be made or is refused), 2 for a wrong command line.
int RunKeyCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

}  // namespace vzrm
