// The product description: names, registry words, version.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace vzrm {

struct DescRegFileType {
    std::string fileName;
    int kind = 0;
    std::string mutexName;
    int id = 0;
};

class CSoftInst {
  public:
    CSoftInst();

    std::string productName = "Velmora ZRM Auditor";
    std::string companyName = "Quorvix Ltd.";
    std::string webAddress = "https://www.quorvix.example/velmora";
    std::string legalNotice = "Copyright (C) Quorvix Ltd. All rights reserved.";
    std::string companyWord = "Quorvix";
    std::string productWord = "VelmoraZRMAuditor";
    std::int32_t major = 1;
    std::int32_t minor = 0;
    std::int32_t build = 414;
    std::string buildText;  // "(build 414)"
    std::vector<DescRegFileType> executables;
    std::vector<std::pair<int, std::string>> windowClasses;

    // "Software\Quorvix\VelmoraZRMAuditor"; an empty word becomes "???".
    std::string BasePath() const;
    // 1.0, 1.1, 1.2E, 1.0C...; with both 0 the product's own version.
    std::string VersionText(std::int32_t major = 0, std::int32_t minor = 0) const;
    std::string ProductName(bool withoutBlanks = false) const;
    // "Velmora ZRM Auditor 1.0 (build 414)".
    std::string ProductText() const;
};

}  // namespace vzrm
