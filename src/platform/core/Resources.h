// The program's bitmap resources, drawn in code: the tree's expand boxes, the header's
// sort marks, expand signs and drop pointer, the file-edit button glyph and the
// drop-down arrow. Transparent pictures have their background in the bottom-left pixel.
#pragma once

#include <string_view>

#include "platform/core/Graphics.h"

TW_DECLARE_EXCEPTION(EResNotFound, Exception)

// Known names: "PlusBmp", "MinusBmp", "MTHEADERASCBMP", "MTHEADERDESCBMP",
// "MTHEADERLEFTBMP", "MTHEADERRIGHTBMP", "MTHEADERPOINTBMP", "FEDITBMP", "COMBOARROW"
// (case-insensitive). Any other name raises EResNotFound "Resource <name> not found".
const TBitmap& ResourceBitmap(std::string_view name);
