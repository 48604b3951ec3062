#include "ResultDatabase.h"

#include <cassert>

#include <fmt/format.h>

namespace vemto::engine {

std::string StorageEventName(char letter, int k) {
  assert(k >= 1 && k <= 89999999);
  std::string s = fmt::format("{}", 10000000 + k);
  s[0] = letter;
  return s;
}

void WriteInputPart(numlib::DataFileSet& files, const numlib::WorkStorage& w) {
  static constexpr const char* kOrder[] = {
      "TEXT",  "GII",  "GIR",    "COOR",   "LEL",    "THCKN",  "LI1",   "LI2",   "LSE",
      "LSF",   "LSA",  "LSG",    "LLPV",   "LNL",    "LWT",    "LELS",  "LSES",  "LSFS",
      "LPVS",  "LNES", "LNLS",   "PEL",    "PSE",    "PSF",    "PSA",   "PSG",   "PPV",
      "PNL",   "PWT",  "PELS",   "IPELS",  "PSES",   "PSFS",   "PPVS",  "IPPVS", "PNES",
      "PNLS",  "ITOP", "ITOPI1", "ITOPI2", "ITOPSE", "ITOPF",  "ITOPA", "ITOPG", "ITOPP",
      "ITOPN", "ITPS", "ITPSES", "ITPSFS", "ITPPPS", "ITPNES", "ITPNLS"};
  for (const char* name : kOrder)
    if (w.Find(name) != 0) files.WriteMatrixToDataFile(name, name, w, kResultUnit);
}

void WriteStorageEvent(numlib::DataFileSet& files, const numlib::WorkStorage& w,
                       const AnalysisHeader& h, int k) {
  std::string name = StorageEventName('T', k);
  auto write = [&](char letter, const char* matrix) {
    name[0] = letter;
    files.WriteMatrixToDataFile(matrix, name, w, kResultUnit);
  };
  if (h.SimulationType() == 0) {
    write('T', "T");
    write('Q', "Q");
    write('M', "RM");
    write('A', "ALFA");
    if (h.nPipeConds > 0) write('P', "QWT");
  }
  if (h.StressesComputed()) {
    write('U', "U");
    write('F', "F");
    write('S', "SIG");
    write('R', "SSRAT");
    write('D', "STRNTHT");
    write('C', "STRNTHC");
  }
}

}  // namespace vemto::engine
