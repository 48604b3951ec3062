#include "TemperatureMaturityFile.h"

namespace vemto::engine {

bool TemperatureMaturityFile::ReadBlock(RunData& d, int slot, double& time) {
  try {
    reader_->BeginRecord();
    time = reader_->NextReal("time");
    reader_->EndRecord();
    for (int e = 1; e <= d.header.nEl8; ++e) {
      double v[2];
      reader_->ReadReals(v, "element temperature and maturity");
      d.m.AT(slot, e) = v[0];
      d.m.AM(slot, e) = v[1];
    }
    return true;
  } catch (const InputError& e) {
    defect_ = e.what();
    return false;
  }
}

bool TemperatureMaturityFile::Open(const std::string& fileName, RunData& d) {
  in_.open(fileName, std::ios::binary);
  if (!in_) {
    defect_ = fileName + ": cannot be opened";
    return false;
  }
  reader_ = std::make_unique<FreeFormatReader>(in_, fileName);
  if (!ReadBlock(d, 1, d.tmTimeA)) return false;
  if (reader_->AtEnd()) {
    d.tmTimeB = 1.0e50;
    for (int e = 1; e <= d.header.nEl8; ++e) {
      d.m.AT(2, e) = d.m.AT(1, e);
      d.m.AM(2, e) = d.m.AM(1, e);
    }
    return true;
  }
  return ReadBlock(d, 2, d.tmTimeB);
}

bool TemperatureMaturityFile::Advance(double time, RunData& d) {
  if (!reader_) return false;
  while (time > d.tmTimeB) {
    d.tmTimeA = d.tmTimeB;
    for (int e = 1; e <= d.header.nEl8; ++e) {
      d.m.AT(1, e) = d.m.AT(2, e);
      d.m.AM(1, e) = d.m.AM(2, e);
    }
    if (!ReadBlock(d, 2, d.tmTimeB)) return false;
  }
  return true;
}

}  // namespace vemto::engine
