// `vemto-cli study STUDY.json`: a parameter study or a Monte-Carlo study. The study is
// expanded into run folders, each with its own changed copy of the base project; every
// run is one `vemto-cli study-run FOLDER` (which runs `vemto-cli run` and keeps its
// peaks), executed here (--local N), as a Slurm job array (--slurm) or by GNU parallel
// over SSH logins (--parallel HOSTFILE). The collection writes results.csv and, for a
// Monte-Carlo study, the crack probability per node (.vtu and .png).
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <map>
#include <memory>
#include <optional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include <fmt/format.h>

#include "Commands.h"
#include "Diagram.h"
#include "ExportCommand.h"
#include "NumberText.h"
#include "ResultReader.h"
#include "RunResult.h"
#include "Study.h"
#include "VemtoFile.h"

extern char** environ;

namespace vemto::cli {
namespace {

namespace fs = std::filesystem;
using study::RunPlan;
using study::RunResult;
using study::StudyDefinition;

constexpr const char* kResultFile = "result.txt";
constexpr const char* kParameterFile = "parameters.txt";
constexpr const char* kPendingFile = "pending.txt";
constexpr const char* kJobIdFile = "slurm_job_id";

/// Options of the study command.
struct StudyOptions {
  std::string file;
  std::string dir;
  int local = 0;
  bool slurm = false;
  std::string hostfile;
  bool collect = false;
  bool noWait = false;
  double poll = 5.0;  ///< seconds between looks at the Slurm queue
};

/// A study ready to run: its definition, runs, folder and the runs still to do.
struct Prepared {
  StudyDefinition study;
  std::vector<RunPlan> runs;
  fs::path dir;
  std::vector<fs::path> pending;  ///< run folders, absolute
};

fs::path Self() {
  std::error_code e;
  const fs::path self = fs::read_symlink("/proc/self/exe", e);
  return e ? fs::path("vemto-cli") : self;
}

/// The run's parameters as stored beside its copy: identifies what the run computed.
std::string ParameterText(const RunPlan& plan) {
  std::string text;
  for (double v : plan.values) text += (text.empty() ? "" : ",") + fmt::format("{:.17g}", v);
  return text;
}

fs::path StudyFolder(const StudyOptions& o) {
  if (!o.dir.empty()) return fs::absolute(o.dir);
  const fs::path file = fs::absolute(o.file);
  return file.parent_path() / file.stem();
}

/// Expands the study; with `write`, writes the copies of the runs that are not complete
/// and the list of them. Throws on a bad study file, base project or folder.
Prepared Prepare(const StudyOptions& o, bool write) {
  Prepared p;
  p.study = study::ReadStudy(o.file);
  p.runs = study::ExpandStudy(p.study);
  p.dir = StudyFolder(o);
  const auto load = [&p] {
    auto document = std::make_unique<TVemtoFile>();
    document->SetFileName(p.study.project.string());
    try {
      document->Load();
    } catch (const std::exception& e) {
      throw study::StudyError(
          fmt::format("{}: the base project cannot be read: {}", p.study.file.string(), e.what()));
    }
    return document;
  };
  // The changes are tried on the base project before anything is written.
  {
    const auto document = load();
    study::ApplyRun(p.study, p.runs.front(), *document);
  }
  if (!write) return p;
  fs::create_directories(p.dir);
  const std::string model = p.study.project.filename().string();
  for (const RunPlan& plan : p.runs) {
    const fs::path folder = p.dir / plan.name;
    const std::string parameters = ParameterText(plan);
    const auto done = study::ReadRunResult(folder / kResultFile, parameters);
    if (done && done->Succeeded()) continue;  // complete: not run again
    fs::create_directories(folder);
    fs::remove(folder / kResultFile);
    const auto document = load();
    study::ApplyRun(p.study, plan, *document);
    document->SetFileName((folder / model).string());
    document->Save();
    std::ofstream(folder / kParameterFile) << parameters << "\n";
    p.pending.push_back(folder);
  }
  std::ofstream list(p.dir / kPendingFile);
  for (const fs::path& f : p.pending) list << f.string() << "\n";
  list.close();
  if (!list) throw std::runtime_error((p.dir / kPendingFile).string() + ": cannot be written");
  return p;
}

/// Starts `argv` with stdout and stderr to `log` (or /dev/null); the process id or -1.
pid_t Spawn(const std::vector<std::string>& argv, const std::string& log, bool searchPath) {
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  const std::string target = log.empty() ? "/dev/null" : log;
  posix_spawn_file_actions_addopen(&actions, 1, target.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  posix_spawn_file_actions_adddup2(&actions, 1, 2);
  std::vector<char*> args;
  for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
  args.push_back(nullptr);
  pid_t pid = -1;
  const int error = searchPath
                        ? posix_spawnp(&pid, args[0], &actions, nullptr, args.data(), environ)
                        : posix_spawn(&pid, args[0], &actions, nullptr, args.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  return error == 0 ? pid : -1;
}

int Wait(pid_t pid) {
  int raw = 0;
  if (waitpid(pid, &raw, 0) != pid) return -1;
  return WIFEXITED(raw) ? WEXITSTATUS(raw) : 128 + (WIFSIGNALED(raw) ? WTERMSIG(raw) : 0);
}

/// What a shell command printed and whether it ended with status 0.
struct Captured {
  bool ok = false;
  std::string out;
  bool Empty() const { return out.find_first_not_of(" \n") == std::string::npos; }
};

/// Runs a command through the shell and returns its stdout.
Captured Capture(const std::string& command) {
  Captured c;
  FILE* pipe = ::popen(command.c_str(), "r");
  if (pipe == nullptr) return c;
  char buffer[4096];
  std::size_t n = 0;
  while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) c.out.append(buffer, n);
  const int raw = ::pclose(pipe);
  c.ok = WIFEXITED(raw) && WEXITSTATUS(raw) == 0;
  return c;
}

/// Whether Slurm still has job `id` pending or running; nullopt when squeue cannot tell.
std::optional<bool> InQueue(const std::string& id) {
  const Captured queue = Capture(fmt::format("squeue -h -j {} -o %i 2>&1", id));
  // A job that ended long ago is no longer known to the controller.
  if (!queue.ok) {
    if (queue.out.find("Invalid job id") != std::string::npos) return false;
    return std::nullopt;
  }
  return !queue.Empty();
}

std::string Quote(const std::string& text) {
  std::string q = "'";
  for (char c : text) q += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return q + "'";
}

// ---- one run ---------------------------------------------------------------------------

/// The task of one run folder: `vemto-cli run` of its copy, then its peaks into
/// result.txt. Exit status that of the run (0 only when it succeeded and was read).
int RunTask(const fs::path& folderArgument) {
  const fs::path folder = fs::absolute(folderArgument);
  std::ifstream in(folder / kParameterFile);
  std::string parameters;
  if (!in || !std::getline(in, parameters)) {
    std::cerr << fmt::format("vemto-cli: {}: not a run folder of a study (no {})\n",
                             folder.string(), kParameterFile);
    return kExitFailed;
  }
  fs::path model;
  for (const auto& entry : fs::directory_iterator(folder))
    if (entry.path().extension() == ".v3") model = entry.path();
  RunResult result;
  if (model.empty()) {
    result.exitStatus = kExitFailed;
    result.error = "no project file in the run folder";
  } else {
    const fs::path log = folder / "run.log";
    const pid_t pid = Spawn({Self().string(), "run", "-q", model.string()}, log.string(), false);
    result.exitStatus = pid < 0 ? kExitFailed : Wait(pid);
    if (result.exitStatus == 0) {
      try {
        fs::path out = model;
        result = study::SummariseResults(out.replace_extension(".out").string());
      } catch (const std::exception& e) {
        result.exitStatus = kExitFailed;
        result.error = e.what();
      }
    } else {
      std::ifstream text(log);
      std::string line;
      while (std::getline(text, line))
        if (!line.empty()) result.error += (result.error.empty() ? "" : " | ") + line;
      if (result.error.empty())
        result.error = pid < 0
                           ? "vemto-cli run could not be started"
                           : fmt::format("vemto-cli run ended with status {}", result.exitStatus);
    }
  }
  try {
    study::WriteRunResult(folder / kResultFile, result, parameters);
  } catch (const std::exception& e) {
    std::cerr << "vemto-cli: " << e.what() << "\n";
    return kExitFailed;
  }
  return result.exitStatus == 0 ? kExitSuccess : kExitFailed;
}

// ---- executors -------------------------------------------------------------------------

/// Progress over runs on stderr: a bar on a terminal, else a line per finished run.
class RunProgress {
 public:
  explicit RunProgress(std::size_t total) : total_(total), terminal_(::isatty(2) != 0) {}
  void Done(const fs::path& folder, bool ok) {
    ++done_;
    failed_ += ok ? 0 : 1;
    if (terminal_) {
      const int width = 40;
      const int filled = static_cast<int>(width * done_ / std::max<std::size_t>(total_, 1));
      std::cerr << fmt::format("\r[{}{}] {}/{} runs, {} failed", std::string(filled, '#'),
                               std::string(width - filled, ' '), done_, total_, failed_)
                << (done_ == total_ ? "\n" : "") << std::flush;
    } else {
      std::cerr << fmt::format("{}/{} runs: {} {}\n", done_, total_, folder.filename().string(),
                               ok ? "done" : "failed");
    }
  }

 private:
  std::size_t total_, done_ = 0, failed_ = 0;
  bool terminal_;
};

void RunLocal(const Prepared& p, int processes) {
  const std::string self = Self().string();
  std::map<pid_t, fs::path> running;
  RunProgress progress(p.pending.size());
  std::size_t next = 0;
  while (next < p.pending.size() || !running.empty()) {
    while (next < p.pending.size() && running.size() < static_cast<std::size_t>(processes)) {
      const fs::path& folder = p.pending[next++];
      const pid_t pid = Spawn({self, "study-run", folder.string()}, "", false);
      if (pid < 0)
        progress.Done(folder, false);
      else
        running[pid] = folder;
    }
    int raw = 0;
    const pid_t pid = ::wait(&raw);
    if (pid < 0) break;
    const auto it = running.find(pid);
    if (it == running.end()) continue;
    progress.Done(it->second, WIFEXITED(raw) && WEXITSTATUS(raw) == 0);
    running.erase(it);
  }
}

int RunParallel(const Prepared& p, const std::string& hostfile) {
  if (!fs::exists(hostfile)) {
    std::cerr << fmt::format("vemto-cli: {}: the host file does not exist\n", hostfile);
    return kExitUsage;
  }
  // Every host must see the study folder and the program under the same paths.
  const std::vector<std::string> argv = {"parallel",
                                         "--will-cite",
                                         "--sshloginfile",
                                         fs::absolute(hostfile).string(),
                                         "--joblog",
                                         (p.dir / "parallel.log").string(),
                                         "--arg-file",
                                         (p.dir / kPendingFile).string(),
                                         Self().string(),
                                         "study-run",
                                         "{}"};
  const pid_t pid = Spawn(argv, (p.dir / "parallel.out").string(), true);
  if (pid < 0) {
    std::cerr << "vemto-cli: GNU parallel cannot be started (Debian package \"parallel\")\n";
    return kExitFailed;
  }
  std::cerr << fmt::format("GNU parallel runs {} runs on the hosts of {}\n", p.pending.size(),
                           hostfile);
  Wait(pid);  // failed runs are found by the collection
  return kExitSuccess;
}

/// Writes the job array script and submits it; the job id, or empty after a message.
std::string SubmitSlurm(const Prepared& p) {
  const fs::path script = p.dir / "slurm_job.sh";
  const fs::path logs = p.dir / "slurm";
  fs::create_directories(logs);
  std::ofstream out(script);
  out << "#!/bin/sh\n"
      << "# One array task per run of the study; written by vemto-cli study --slurm.\n"
      << "#SBATCH --job-name=vemto-study\n"
      << fmt::format("#SBATCH --array=0-{}\n", p.pending.size() - 1)
      << "#SBATCH --ntasks=1\n#SBATCH --cpus-per-task=1\n"
      << fmt::format("#SBATCH --output={}/%A_%a.log\n", logs.string());
  for (const std::string& option : p.study.slurmOptions) out << "#SBATCH " << option << "\n";
  out << fmt::format("run=$(sed -n \"$((SLURM_ARRAY_TASK_ID + 1))p\" {})\n",
                     Quote((p.dir / kPendingFile).string()))
      << fmt::format("exec {} study-run \"$run\"\n", Quote(Self().string()));
  out.close();
  if (!out) {
    std::cerr << fmt::format("vemto-cli: {}: cannot be written\n", script.string());
    return {};
  }
  const Captured submitted =
      Capture(fmt::format("sbatch --parsable {} 2>&1", Quote(script.string())));
  const std::string id = submitted.out.substr(0, submitted.out.find_first_of(";\n"));
  if (!submitted.ok || id.empty() || id.find_first_not_of("0123456789") != std::string::npos) {
    std::cerr << "vemto-cli: sbatch failed: " << submitted.out << "\n";
    return {};
  }
  std::ofstream(p.dir / kJobIdFile) << id << "\n";
  return id;
}

/// Waits until the job array has left the queue, showing how many runs have ended.
void FollowSlurm(const Prepared& p, const std::string& id, double poll) {
  RunProgress progress(p.pending.size());
  std::vector<char> seen(p.pending.size(), 0);
  for (;;) {
    const std::optional<bool> queued = InQueue(id);
    for (std::size_t i = 0; i < p.pending.size(); ++i) {
      if (seen[i]) continue;
      std::ifstream parameters(p.pending[i] / kParameterFile);
      std::string text;
      std::getline(parameters, text);
      if (const auto r = study::ReadRunResult(p.pending[i] / kResultFile, text)) {
        seen[i] = 1;
        progress.Done(p.pending[i], r->Succeeded());
      }
    }
    if (!queued) {
      std::cerr << fmt::format(
          "squeue cannot tell the state of job {}; collect later with --collect\n", id);
      break;
    }
    if (!*queued) break;  // the array has ended
    std::this_thread::sleep_for(std::chrono::duration<double>(poll));
  }
  const Captured states =
      Capture(fmt::format("sacct -n -X -P -j {} -o JobID,State 2>/dev/null", id));
  if (states.ok && !states.Empty()) std::cerr << "Slurm accounting (sacct):\n" << states.out;
}

// ---- collection ------------------------------------------------------------------------

std::string Cell(double v) {
  return std::isnan(v) ? std::string() : FormatG(v);
}

std::string CsvText(const std::string& text) {
  if (text.find_first_of(",\"\n") == std::string::npos) return text;
  std::string q = "\"";
  for (char c : text) q += c == '"' ? std::string("\"\"") : std::string(1, c);
  return q + "\"";
}

/// The crack probability per node: .vtu over the hardening concrete and a picture.
void WriteProbability(const Prepared& p, const std::vector<RunResult>& ok, const fs::path& out,
                      int& status) {
  const post::ResultReader r(out.string());
  const post::QuadMesh& mesh = r.Mesh();
  const std::size_t nodes = mesh.x.size();
  const auto n = static_cast<std::int64_t>(ok.size());
  std::vector<double> share(nodes, 0.0), low(nodes, 0.0), high(nodes, 0.0);
  std::vector<std::int64_t> cracked(nodes, 0);
  std::int64_t anywhere = 0;
  for (const RunResult& run : ok) {
    if (run.nodeRatio.size() != nodes)
      throw std::runtime_error("the runs' meshes differ; no crack probability per node");
    for (std::size_t i = 0; i < nodes; ++i)
      cracked[i] += run.nodeRatio[i] >= study::kCrackRatio ? 1 : 0;
    anywhere += run.ratio >= study::kCrackRatio ? 1 : 0;
  }
  for (std::size_t i = 0; i < nodes; ++i) {
    const study::Interval w = study::Wilson(cracked[i], n);
    share[i] = static_cast<double>(cracked[i]) / static_cast<double>(n);
    low[i] = w.low;
    high[i] = w.high;
  }
  std::vector<char> concrete(mesh.elements.size(), 0);
  std::vector<std::int64_t> index(nodes, -1);
  std::vector<std::size_t> cells, points;
  for (std::size_t e = 0; e < mesh.elements.size(); ++e) {
    concrete[e] = r.IsConcrete(e) ? 1 : 0;
    if (!concrete[e]) continue;
    cells.push_back(e);
    for (std::int32_t k : mesh.elements[e])
      if (index[static_cast<std::size_t>(k)] < 0) {
        index[static_cast<std::size_t>(k)] = static_cast<std::int64_t>(points.size());
        points.push_back(static_cast<std::size_t>(k));
      }
  }
  const fs::path vtu = p.dir / "crack_probability.vtu";
  std::ofstream v(vtu);
  v << "<?xml version=\"1.0\"?>\n<VTKFile type=\"UnstructuredGrid\" version=\"0.1\" "
       "byte_order=\"LittleEndian\">\n  <UnstructuredGrid>\n"
    << fmt::format("    <Piece NumberOfPoints=\"{}\" NumberOfCells=\"{}\">\n", points.size(),
                   cells.size())
    << "      <Points>\n        <DataArray type=\"Float64\" NumberOfComponents=\"3\" "
       "format=\"ascii\">\n";
  for (std::size_t k : points) v << FormatG(mesh.x[k]) << " " << FormatG(mesh.y[k]) << " 0\n";
  v << "        </DataArray>\n      </Points>\n      <Cells>\n"
    << "        <DataArray type=\"Int64\" Name=\"connectivity\" format=\"ascii\">\n";
  for (std::size_t e : cells) {  // corners first, then the mid-side nodes
    const auto& el = mesh.elements[e];
    const auto at = [&](int i) { return index[static_cast<std::size_t>(el[i])]; };
    v << fmt::format("{} {} {} {} {} {} {} {}\n", at(0), at(2), at(4), at(6), at(1), at(3), at(5),
                     at(7));
  }
  v << "        </DataArray>\n        <DataArray type=\"Int64\" Name=\"offsets\" "
       "format=\"ascii\">\n";
  for (std::size_t e = 1; e <= cells.size(); ++e) v << 8 * e << "\n";
  v << "        </DataArray>\n        <DataArray type=\"UInt8\" Name=\"types\" "
       "format=\"ascii\">\n";
  for (std::size_t e = 0; e < cells.size(); ++e) v << "23\n";  // VTK_QUADRATIC_QUAD
  v << "        </DataArray>\n      </Cells>\n      <PointData>\n";
  const std::pair<const char*, const std::vector<double>*> fields[] = {
      {"crack_probability", &share},
      {"crack_probability_low95", &low},
      {"crack_probability_high95", &high}};
  for (const auto& [name, values] : fields) {
    v << fmt::format(
        "        <DataArray type=\"Float64\" Name=\"{}\" NumberOfComponents=\"1\" "
        "format=\"ascii\">\n",
        name);
    for (std::size_t k : points) v << FormatG((*values)[k]) << "\n";
    v << "        </DataArray>\n";
  }
  v << "        <DataArray type=\"Float64\" Name=\"node\" NumberOfComponents=\"1\" "
       "format=\"ascii\">\n";
  for (std::size_t k : points) v << k + 1 << "\n";
  v << "        </DataArray>\n      </PointData>\n    </Piece>\n  </UnstructuredGrid>\n"
       "</VTKFile>\n";
  v.close();
  if (!v) throw std::runtime_error(vtu.string() + ": cannot be written");
  const study::Interval w = study::Wilson(anywhere, n);
  std::cout << fmt::format(
      "crack probability (ratio >= 1.0 anywhere): {} of {} runs = {}, 95 % interval {} to {}\n",
      anywhere, n, FormatG(static_cast<double>(anywhere) / n, 4), FormatG(w.low, 4),
      FormatG(w.high, 4));
  std::cout << fmt::format("crack probability per node: {}\n", vtu.string());
  post::NodalMap map;
  map.values = share;
  map.elements = concrete;
  map.title = "Crack probability";
  map.caption = fmt::format("{} runs", n);
  map.lower = 0.0;
  map.upper = 1.0;
  const fs::path png = p.dir / "crack_probability.png";
  if (WritePicture(png.string(), 1000, 700,
                   [&](const post::Surface& s) { post::DrawNodalMap(r, s, map); }))
    std::cout << fmt::format("picture: {}\n", png.string());
  else
    status = kExitFailed;
}

/// Collects every run into results.csv (and the crack probability); exit status 0 only
/// when every run is complete.
int Collect(const Prepared& p) {
  const std::vector<std::string> columns = study::StudyColumns(p.study);
  fs::create_directories(p.dir);
  const fs::path csv = p.dir / "results.csv";
  std::ostringstream table;
  table << "run";
  for (const std::string& c : columns) table << "," << CsvText(c);
  table << ",status,exit_status,peak_temperature_C,peak_temperature_h,max_core_to_surface_C,"
           "max_core_to_surface_h,max_ratio,max_ratio_h,max_ratio_x_m,max_ratio_y_m,error\n";
  std::vector<RunResult> ok;
  fs::path firstOut;
  int failed = 0, missing = 0;
  const std::string model = p.study.project.filename().string();
  for (const RunPlan& plan : p.runs) {
    const fs::path folder = p.dir / plan.name;
    const auto r = study::ReadRunResult(folder / kResultFile, ParameterText(plan));
    table << plan.name;
    for (double v : plan.values) table << "," << FormatG(v);
    if (!r) {
      ++missing;
      table << ",not run,,,,,,,,,,\n";
      continue;
    }
    if (!r->Succeeded()) {
      ++failed;
      std::cerr << fmt::format("{} failed: {}\n", plan.name, r->error);
    } else {
      ok.push_back(*r);
      if (firstOut.empty()) firstOut = (folder / model).replace_extension(".out");
    }
    table << "," << (r->Succeeded() ? "ok" : "failed") << "," << r->exitStatus << ","
          << Cell(r->peakTemperature) << "," << Cell(r->peakTemperatureHours) << ","
          << Cell(r->coreToSurface) << "," << Cell(r->coreToSurfaceHours) << "," << Cell(r->ratio)
          << "," << Cell(r->ratioHours) << "," << Cell(r->ratioX) << "," << Cell(r->ratioY) << ","
          << CsvText(r->error) << "\n";
  }
  {
    std::ofstream out(csv);
    out << table.str();
    out.close();
    if (!out) throw std::runtime_error(csv.string() + ": cannot be written");
  }
  std::cout << fmt::format("{}: {} runs, {} complete, {} failed, {} not run\n", csv.string(),
                           p.runs.size(), ok.size(), failed, missing);
  int status = failed + missing > 0 ? kExitFailed : kExitSuccess;
  if (p.study.MonteCarlo() && !ok.empty()) WriteProbability(p, ok, firstOut, status);
  return status;
}

int Study(const StudyOptions& o) {
  const int executors = (o.local > 0) + o.slurm + !o.hostfile.empty() + o.collect;
  if (executors > 1) {
    std::cerr << "vemto-cli: give one of --local N, --slurm, --parallel HOSTFILE, --collect\n";
    return kExitUsage;
  }
  if (o.local < 0 || o.local > 1024) {
    std::cerr << "vemto-cli: --local takes a number of processes from 1 to 1024\n";
    return kExitUsage;
  }
  try {
    Prepared p = Prepare(o, !o.collect);
    if (o.collect) {
      // A job still in the queue: say so; the collection lists its runs as not run.
      std::ifstream idFile(p.dir / kJobIdFile);
      std::string id;
      if (idFile >> id && InQueue(id).value_or(false))
        std::cerr << fmt::format("Slurm job {} is still in the queue\n", id);
      return Collect(p);
    }
    std::cerr << fmt::format("{} runs in {}, {} to run\n", p.runs.size(), p.dir.string(),
                             p.pending.size());
    if (!p.pending.empty()) {
      if (o.slurm) {
        const std::string id = SubmitSlurm(p);
        if (id.empty()) return kExitFailed;
        std::cout << fmt::format("Slurm job {}: {} array tasks\n", id, p.pending.size())
                  << std::flush;
        if (o.noWait) {
          std::cout << fmt::format("collect later with: vemto-cli study {} --collect{}\n", o.file,
                                   o.dir.empty() ? "" : " --dir " + o.dir);
          return kExitSuccess;
        }
        FollowSlurm(p, id, o.poll);
      } else if (!o.hostfile.empty()) {
        if (const int s = RunParallel(p, o.hostfile); s != kExitSuccess) return s;
      } else {
        RunLocal(p, std::max(1, o.local));
      }
    }
    return Collect(p);
  } catch (const std::exception& e) {
    std::cerr << "vemto-cli: " << e.what() << "\n";
    return kExitFailed;
  }
}

}  // namespace

void AddStudyCommand(CLI::App& app, CommandStatus& status) {
  auto* cmd = app.add_subcommand(
      "study",
      "Parameter or Monte-Carlo study of STUDY.json: one run folder per run, executed here, on "
      "a Slurm cluster or by GNU parallel; results.csv and the crack probability per node");
  auto o = std::make_shared<StudyOptions>();
  cmd->add_option("STUDY", o->file, "Study file (JSON)")->required();
  cmd->add_option("--local", o->local, "Run here, N processes at a time (default 1)");
  cmd->add_flag("--slurm", o->slurm,
                "Submit a Slurm job array (one task per run), follow it and collect");
  cmd->add_option("--parallel", o->hostfile,
                  "Run with GNU parallel on the SSH logins of HOSTFILE (shared folders)");
  cmd->add_flag("--collect", o->collect, "Only collect the runs that have ended");
  cmd->add_flag("--no-wait", o->noWait, "With --slurm: submit, print the job id and return");
  cmd->add_option("--dir", o->dir, "Study folder (default: beside STUDY, named after it)");
  cmd->add_option("--poll", o->poll, "With --slurm: seconds between looks at the queue")
      ->check(CLI::Range(0.1, 3600.0));
  cmd->callback([&status, o] { status.code = Study(*o); });

  auto* run = app.add_subcommand("study-run", "One run of a study (used by vemto-cli study)");
  run->group("");  // not listed in the help
  auto folder = std::make_shared<std::string>();
  run->add_option("FOLDER", *folder, "Run folder")->required();
  run->callback([&status, folder] { status.code = RunTask(*folder); });
}

}  // namespace vemto::cli
