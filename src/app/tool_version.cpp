#include "app/tool_version.h"

#include "settings/product_description.h"

namespace vzrm {

std::string ToolVersionText(const std::string& tool) {
    const CSoftInst soft;
    return tool + " (" + soft.ProductName() + ") " + soft.VersionText() + " " + soft.buildText +
           "\n" + soft.legalNotice + "\n";
}

}  // namespace vzrm
