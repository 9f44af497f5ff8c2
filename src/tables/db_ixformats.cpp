#include "tables/db_cdx.h"
#include "tables/db_ixbase.h"
#include "tables/db_ntx.h"

void RegisterBuiltinIndexFormats(const std::function<void(std::string_view, TdbIndexFactory)>& add) {
  RegisterCdxFormat(add);
  RegisterNtxFormat(add);
}
