// The result database of a run: the input matrices, the fields of every storage
// event and finally the storage times, written as blocks of a direct-access data
// file through the storage manager.
#pragma once

#include <string>

#include "DataFileSet.h"
#include "RunData.h"

namespace vemto::engine {

/// Unit number of the result database.
inline constexpr int kResultUnit = 1;

/// Name of storage event k (1 ≤ k ≤ 89999999) of a field: the 8 digits of
/// 10000000 + k with the first replaced by the field letter ("T0000001").
std::string StorageEventName(char letter, int k);

/// Writes the input matrices in their fixed order (conditional ones only when
/// defined).
void WriteInputPart(numlib::DataFileSet& files, const numlib::WorkStorage& w);

/// Writes the fields of storage event k that the run computes.
void WriteStorageEvent(numlib::DataFileSet& files, const numlib::WorkStorage& w,
                       const AnalysisHeader& h, int k);

}  // namespace vemto::engine
