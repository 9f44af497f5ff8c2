// A second process for the sharing and locking tests. Exit status: 0 on success,
// else the engine's error code (modulo 256), 200 for a bad command line.
//
//   tables_helper open S|X|R|E <file>          opens shared, exclusive, read-only shared or
//                                              read-only exclusive
//   tables_helper lock <file> <offset> <len>   opens shared and locks the region
//   tables_helper hold S|X|E <file> [off len]  opens (and locks), says "ready", waits for EOF
//   tables_helper create <file>                creates the file anew
//   tables_helper append <table> <text>        opens the table shared, appends one record
//                                              with the text in field 1
//   tables_helper put <table> <rec> <field> <text>
//                                              opens the table shared, locks record rec,
//                                              stores the text in that field and rewrites it
//   tables_helper indexappend <table> <index> <prefix> <n>
//                                              opens the table shared with the index file,
//                                              appends n records named prefix + number
//   tables_helper indexput <table> <index> <rec> <field> <text>
//                                              as put, with the index file open (which
//                                              moves the record locks of the protocol)
//   tables_helper reindex <table> <index>...   opens the table exclusively with the index
//                                              files and rebuilds them
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <string>

#include "tables/db_DBF.h"
#include "tables/db_dbsy.h"
#include "tables/db_disk.h"
#include "tables/db_eror.h"

namespace {
int Fail(const DBO_DiskFile& f) { return f.ErrorCode() == 0 ? 1 : f.ErrorCode() & 0xFF; }
bool SharedMode(char m) { return m != 'X' && m != 'E'; }
bool WriteMode(char m) { return m != 'R' && m != 'E'; }
}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) return 200;
  std::string op = argv[1];
  try {
    if (op == "open" && argc == 4) {
      char m = argv[2][0];
      DBO_DiskFile f(argv[3], SharedMode(m), WriteMode(m));
      f.Open();
      return 0;
    }
    if (op == "lock" && argc == 5) {
      DBO_DiskFile f(argv[2], true, true);
      f.Open();
      return f.LockRegion(static_cast<std::uint32_t>(std::stoul(argv[3])), static_cast<std::uint32_t>(std::stoul(argv[4])))
                 ? 0
                 : Fail(f);
    }
    if (op == "hold" && (argc == 4 || argc == 6)) {
      DBO_DiskFile f(argv[3], SharedMode(argv[2][0]), argv[2][0] != 'E');
      f.Open();
      if (argc == 6 && !f.LockRegion(static_cast<std::uint32_t>(std::stoul(argv[4])),
                                     static_cast<std::uint32_t>(std::stoul(argv[5]))))
        return Fail(f);
      std::cout << "ready" << std::endl;
      std::string line;
      while (std::getline(std::cin, line)) {
      }
      return 0;
    }
    if (op == "create" && argc == 3) {
      DBO_DiskFile f(argv[2], false, true);
      f.CreateNew();
      return 0;
    }
    if (op == "indexappend" && argc == 6) {
      DBO_dBHandler t(argv[2], true, true);
      if (t.IndexOpen(argv[3]) != 0) return 202;
      const int n = std::atoi(argv[5]);
      for (int i = 0; i < n; ++i) {
        t.BlankRecord();
        t.FieldPut(1, std::string(argv[4]) + std::to_string(i));
        t.Append();
      }
      return 0;
    }
    if (op == "reindex" && argc >= 4) {
      DBO_dBHandler t(argv[2], false, true);
      for (int i = 3; i < argc; ++i)
        if (t.IndexOpen(argv[i]) != 0) return 202;
      t.Reindex();
      return 0;
    }
    if (op == "append" && argc == 4) {
      DBO_dBaseFld t(argv[2], true, true);
      t.BlankRecord();
      t.FieldPut(1, argv[3]);
      t.Append();
      return 0;
    }
    // Record, field and text from `at` on.
    auto put = [&](DBO_dBaseFld& t, int at) {
      t.GetRecord(std::stoll(argv[at]));
      if (!t.LockRecord()) return Fail(t);
      t.FieldPut(std::stoll(argv[at + 1]), argv[at + 2]);
      t.PutRecord(t.RecNo());
      t.Unlock();
      return 0;
    };
    if (op == "indexput" && argc == 7) {
      DBO_dBHandler t(argv[2], true, true);
      if (t.IndexOpen(argv[3]) != 0) return 202;
      return put(t, 4);
    }
    if (op == "put" && argc == 6) {
      DBO_dBaseFld t(argv[2], true, true);
      return put(t, 3);
    }
  } catch (const EDbfError&) {
    return DbfLastError() == 0 ? 1 : DbfLastError() & 0xFF;
  } catch (const std::exception& e) {
    std::cerr << e.what() << "\n";
    return 1;
  }
  return 200;
}
