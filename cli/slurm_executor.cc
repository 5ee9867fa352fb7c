#include "cli/slurm_executor.h"

#include <sys/statfs.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <regex>
#include <thread>

#include "foundation/platform/spawn.h"

namespace corvala4::cli {

namespace {

// Runs on the node as the job's task: says which job, step, node and machine it is,
// then becomes the calculation in the working folder, or says that the node does not
// see that folder (slurmstepd would run it in /tmp instead).
constexpr const char* kWrapper =
    "read -r h </proc/sys/kernel/hostname\n"
    "printf '%s %s %s %s %s\\n' corvala4-job: \"$SLURM_JOB_ID\" \"${SLURM_STEP_ID:-0}\" "
    "\"${SLURMD_NODENAME:--}\" \"${h:--}\" >&2\n"
    "cd -- \"$0\" 2>/dev/null || { printf '%s\\n' 'corvala4-job: no-folder' >&2; exit 120; }\n"
    "exec \"$@\"\n";
constexpr const char* kNoFolder = "corvala4-job: no-folder";

bool StartsWith(const std::string& text, const std::string& prefix) {
  return text.compare(0, prefix.size(), prefix) == 0;
}

std::vector<std::string> Words(const std::string& line) {
  std::vector<std::string> words;
  for (size_t pos = 0; pos < line.size();) {
    size_t end = line.find(' ', pos);
    if (end == std::string::npos) end = line.size();
    if (end > pos) words.push_back(line.substr(pos, end - pos));
    pos = end + 1;
  }
  return words;
}

/// Calls `take` with each whole line of `text` (without its end); a line for which it
/// returns true is removed from the text.
template <typename Take>
void EachLine(std::string& text, Take take) {
  std::string kept;
  size_t pos = 0;
  for (size_t end; (end = text.find('\n', pos)) != std::string::npos; pos = end + 1) {
    std::string line = text.substr(pos, end - pos);
    if (!take(line)) kept.append(text, pos, end + 1 - pos);
  }
  kept.append(text, pos, std::string::npos);
  text = std::move(kept);
}

std::string FindOnPath(const std::string& program) {
  const char* path = getenv("PATH");
  std::string dirs = path && *path ? path : "/usr/local/bin:/usr/bin:/bin";
  for (size_t pos = 0; pos <= dirs.size();) {
    size_t end = dirs.find(':', pos);
    if (end == std::string::npos) end = dirs.size();
    std::string dir = end > pos ? dirs.substr(pos, end - pos) : ".";
    std::string candidate = dir + "/" + program;
    if (access(candidate.c_str(), X_OK) == 0) return candidate;
    pos = end + 1;
  }
  return {};
}

std::string TimeLimit(double seconds) {
  long s = static_cast<long>(std::ceil(seconds));
  return std::to_string(s / 60) + ":" + (s % 60 < 10 ? "0" : "") + std::to_string(s % 60);
}

/// Starts a Slurm command with nothing to read; its standard output goes to `out` (none:
/// nowhere), its complaints nowhere. Returns it, without a process id when it could not start.
Child StartCommand(std::vector<std::string> args, Stream out = Stream::Null()) {
  SpawnRequest request;
  request.argv = std::move(args);
  request.in = Stream::Null();
  request.out = out;
  request.err = Stream::Null();
  try {
    return Spawn(request);
  } catch (const SpawnError&) {
    return Child();
  }
}

void Reap(pid_t pid) {
  int status = 0;
  while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
}

/// Whether squeue still lists any of the jobs (waiting, running or completing).
bool Listed(const std::vector<std::string>& ids) {
  std::string list;
  for (const std::string& id : ids) list += (list.empty() ? "" : ",") + id;
  Child squeue = StartCommand({"squeue", "-h", "-o", "%i", "-j", list}, Stream::Pipe());
  if (squeue.pid < 0) return false;
  std::string out;
  char buf[4096];
  for (ssize_t n; (n = read(squeue.out.get(), buf, sizeof buf)) != 0;) {
    if (n > 0)
      out.append(buf, static_cast<size_t>(n));
    else if (errno != EINTR)
      break;
  }
  squeue.out = Fd();
  Reap(squeue.pid);
  return out.find_first_not_of(" \n") != std::string::npos;
}

}  // namespace

CalculationEnd SlurmEnd(CalculationEnd srun, SlurmJob& job) {
  using How = CalculationEnd::How;
  if (srun.how == How::NotStarted) return srun;
  // srun's line for the task's end, the step's or job's cancellation, a lost node.
  static const std::regex task(R"(^srun: error: (\S+): task 0: (.*)$)");
  static const std::regex step(R"(^srun: .*StepId=(\d+)\.(\d+)\b.*$)");
  static const std::regex cancelled(R"(\*\*\* ((JOB|STEP) \S+ ON \S+ CANCELLED AT \S+(.*?)) \*\*\*)");
  static const std::regex exited(R"(^Exited with exit code (\d+)$)");
  std::string task_end, cancel, due, lost;
  bool no_folder = false;
  std::vector<std::string> said;  // srun's own messages
  EachLine(srun.output, [&](const std::string& line) {
    std::smatch m;
    if (line == kNoFolder) return no_folder = true;
    if (StartsWith(line, "srun: ")) {
      if (std::regex_match(line, m, task)) {
        if (job.node.empty()) job.node = m[1];
        job.started = true;
        task_end = m[2];
        return true;  // the status says it
      }
      if (std::regex_match(line, m, step) && job.id.empty()) {
        job.id = m[1];
        job.step = m[2];
        job.started = true;
      }
      if (StartsWith(line, "srun: error: Node failure on ")) lost = line;
      said.push_back(line);
    } else if (StartsWith(line, "slurmstepd") && std::regex_search(line, m, cancelled)) {
      cancel = m[1];
      due = m[3];
    }
    return false;
  });

  CalculationEnd end = srun;
  if (!job.started) {
    if (srun.Succeeded()) return end;
    if (srun.how == How::Stopped) {
      end.reason = "stopped (the job was cancelled before it started)";
      return end;
    }
    // The job never ran: srun could not submit it, or it was cancelled while it waited.
    end.how = How::NotStarted;
    std::string text;
    for (const std::string& line : said) text += (text.empty() ? "" : "; ") + line;
    end.reason = text.empty() ? "srun ended before the job started (" + srun.reason + ")" : text;
    return end;
  }
  std::smatch m;
  if (std::regex_match(task_end, m, exited)) {
    end.how = How::Exited;
    end.code = std::stoi(m[1]);
  } else if (!task_end.empty()) {
    // srun ends with 128 and the signal's number, as a shell would.
    end.how = How::Signaled;
    end.code = srun.how == How::Exited && srun.code > 128 ? srun.code - 128 : srun.code;
  }
  end.reason = ExitReason(end.how, end.code);

  if (no_folder && end.how == How::Exited) {
    end.how = How::NotStarted;
    end.reason = "the node " + job.node +
                 " does not see the working folder: the nodes must share the file system of the test data";
  } else if (srun.how == How::TimedOut || srun.how == How::Stopped) {
    end.how = srun.how;
    end.reason = srun.reason.substr(0, srun.reason.find(" (")) + " (the job was cancelled)";
  } else if (due.find("TIME LIMIT") != std::string::npos) {
    end.how = How::TimedOut;
    end.reason = "Slurm's time limit: " + cancel;
  } else if (!lost.empty() || due.find("NODE FAIL") != std::string::npos) {
    end.how = How::Cancelled;
    end.reason =
        "node failure: " + (lost.empty() ? cancel : lost.substr(std::string("srun: error: ").size()));
  } else if (!cancel.empty()) {
    end.how = How::Cancelled;
    end.reason = "cancelled: " + cancel;
  }
  return end;
}

std::string LocalFileSystem(const std::string& folder) {
  std::string where;
  for (const char* tmp : {"/tmp", "/var/tmp", "/dev/shm"}) {
    std::string dir = tmp;
    if (folder == dir || StartsWith(folder, dir + "/")) where = "under " + dir;
  }
  struct statfs fs {};
  std::string type;
  if (statfs(folder.c_str(), &fs) == 0) {
    switch (static_cast<unsigned long>(fs.f_type)) {
      case 0xEF53:
        type = "ext4";
        break;
      case 0x58465342:
        type = "xfs";
        break;
      case 0x9123683E:
        type = "btrfs";
        break;
      case 0x2FC12FC1:
        type = "zfs";
        break;
      case 0xF2F52010:
        type = "f2fs";
        break;
      case 0x01021994:
        type = "tmpfs";
        break;
      case 0x858458F6:
        type = "ramfs";
        break;
      case 0x794C7630:
        type = "overlay";
        break;
      default:
        break;
    }
  }
  if (type.empty()) return where;
  return where.empty() ? type : type + ", " + where;
}

SlurmExecutor::SlurmExecutor(SlurmOptions options, int wakeFd, std::function<void(const std::string&)> warn,
                             double grace)
    : options_(std::move(options)), warn_(std::move(warn)), srun_(wakeFd, grace) {
  srun_.SetStartWatcher(this);
  // Killed at once, srun would leave its job running, or waiting in the queue to run later.
  srun_.SetBatchClients();
  if (FindOnPath("srun").empty())
    unusable_ = "srun was not found on the PATH: Slurm's client commands are not installed on this machine";
  char host[256] = "";
  gethostname(host, sizeof host - 1);
  this_machine_ = host;
  inside_allocation_ = getenv("SLURM_JOB_ID") != nullptr;
}

std::string SlurmExecutor::Reference(const Job& job) const {
  // Inside an allocation of its own (corvala4 run from a batch job) srun makes steps of
  // that job: only the step may be cancelled, never the job that runs corvala4 itself.
  if (!inside_allocation_) return job.id;
  return job.id.empty() || job.step.empty() ? "" : job.id + "." + job.step;
}

SlurmExecutor::~SlurmExecutor() {
  if (srun_.Running() > 0) StopAll();
  ReapCancels(true);
}

std::vector<std::string> SlurmExecutor::Command(const Calculation& calc) const {
  // By its name, so that srun's messages begin with "srun: ".
  std::vector<std::string> argv = {"srun",
                                   "--job-name=" + (calc.name.empty() ? std::string("corvala4") : calc.name),
                                   "--chdir=" + calc.folder,
                                   "--nodes=1",
                                   "--ntasks=1",
                                   "--cpus-per-task=" + std::to_string(options_.cpus)};
  if (!options_.partition.empty()) argv.push_back("--partition=" + options_.partition);
  // Slurm counts in whole minutes and acts late: the runner's own time-out is the sure one.
  if (calc.timeout > 0) argv.push_back("--time=" + TimeLimit(calc.timeout));
  argv.insert(argv.end(), options_.args.begin(), options_.args.end());
  argv.insert(argv.end(), {"/bin/sh", "-c", kWrapper, calc.folder});
  argv.insert(argv.end(), calc.argv.begin(), calc.argv.end());
  return argv;
}

void SlurmExecutor::Start(const Calculation& calc) {
  ReapCancels(false);
  if (!unusable_.empty() || calc.argv.empty()) {
    CalculationEnd end;
    end.id = calc.id;
    end.how = CalculationEnd::How::NotStarted;
    end.reason = unusable_.empty() ? "could not start: the command is empty" : unusable_;
    refused_.push_back(std::move(end));
    return;
  }
  Job& job = jobs_[calc.id];
  job = Job{};
  job.folder = calc.folder;
  job.name = calc.name;
  Calculation srun = calc;
  srun.argv = Command(calc);
  srun_.Start(srun);
}

bool SlurmExecutor::Output(int id, std::string& kept) {
  Job& job = jobs_[id];
  static const std::regex queued(
      R"(^srun: job (\d+) (queued and waiting for resources|has been allocated resources)$)");
  EachLine(kept, [&](const std::string& line) {
    std::smatch m;
    if (std::regex_match(line, m, queued)) {
      job.id = m[1];
      return true;
    }
    std::vector<std::string> w = Words(line);
    if (job.started || w.size() != 5 || w[0] != kStartMark) return false;
    job.started = true;
    job.id = w[1];
    job.step = w[2];
    job.node = w[3];
    job.machine = w[4];
    return true;
  });
  Guard(job);
  if (job.started) CheckSharedFolder(job);
  return job.started;
}

void SlurmExecutor::Guard(Job& job) {
  std::string ref = Reference(job);
  if (ref.empty() || ref == job.guarded) return;
  if (!job.guarded.empty()) srun_.Orphans().RemoveJob(job.guarded);
  srun_.Orphans().AddJob(ref);
  job.guarded = ref;
}

void SlurmExecutor::CheckSharedFolder(const Job& job) {
  if (warned_ || job.machine == "-" || job.machine == this_machine_) return;
  std::string fs = LocalFileSystem(job.folder);
  if (fs.empty()) return;
  warned_ = true;
  if (warn_)
    warn_("the case '" + job.name + "' runs on the node " + job.node + " (machine " + job.machine +
          "), not on this machine (" + this_machine_ + "), but its working folder " + job.folder +
          " lies on a file system of this machine's own (" + fs +
          "): the nodes must see the test data on a shared file system");
}

CalculationEnd SlurmExecutor::Translate(CalculationEnd srun) {
  using How = CalculationEnd::How;
  Job job = jobs_[srun.id];
  jobs_.erase(srun.id);
  bool submitted = srun.how == How::Exited || srun.how == How::Signaled;
  bool ended_by_us = srun.how == How::TimedOut || srun.how == How::Stopped;
  // srun reports its task's signal in its exit status: killed itself, it left its job behind.
  bool srun_killed = srun.how == How::Signaled;
  CalculationEnd end = SlurmEnd(std::move(srun), job);
  end.facts.clear();
  // Inside an allocation every case is a step of the same job.
  if (!job.id.empty())
    end.facts.emplace_back(
        "job", job.id + (job.step.empty() || (job.step == "0" && !inside_allocation_) ? "" : "." + job.step));
  if (!job.node.empty()) end.facts.emplace_back("node", job.node);
  // Not even submitted: no other case can be, either.
  if (submitted && !job.started && job.id.empty() && end.how == How::NotStarted && unusable_.empty())
    unusable_ = end.reason;
  // srun ends its job when told to; should it have been killed first, the job must still go.
  std::string ref = Reference(job);
  if (ended_by_us && !ref.empty()) Cancel({ref}, false);
  // Someone else killed srun: its job still writes in the working folder, which the runner
  // is about to read or prepare again, so it must be gone first.
  if (srun_killed && !ref.empty()) {
    Cancel({ref}, true);
    if (!inside_allocation_) AwaitGone({ref});
  }
  if (!job.guarded.empty()) srun_.Orphans().RemoveJob(job.guarded);
  return end;
}

std::optional<CalculationEnd> SlurmExecutor::WaitAny() {
  ReapCancels(false);
  if (!refused_.empty()) {
    CalculationEnd end = std::move(refused_.front());
    refused_.pop_front();
    return end;
  }
  std::optional<CalculationEnd> end = srun_.WaitAny();
  if (!end) return std::nullopt;
  return Translate(std::move(*end));
}

std::vector<CalculationEnd> SlurmExecutor::StopAll() {
  std::vector<std::string> ids;
  for (const auto& [id, job] : jobs_)
    if (std::string ref = Reference(job); !ref.empty()) ids.push_back(ref);
  // Jobs still waiting in the queue without a known id go when their srun is ended.
  if (!ids.empty()) Cancel(ids, true);
  std::vector<CalculationEnd> ends;
  std::vector<std::string> listed;
  for (CalculationEnd& end : srun_.StopAll()) {
    ends.push_back(Translate(std::move(end)));
    if (!inside_allocation_ && !ends.back().facts.empty()) listed.push_back(ends.back().facts.front().second);
  }
  for (CalculationEnd& end : refused_) ends.push_back(std::move(end));
  refused_.clear();
  ReapCancels(true);
  AwaitGone(listed);
  return ends;
}

void SlurmExecutor::AwaitGone(const std::vector<std::string>& ids) {
  // A cancelled job stays in the queue while its node ends its processes; stopped, it is gone.
  for (int i = 0; i < 100 && !ids.empty() && Listed(ids); ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
}

void SlurmExecutor::Cancel(const std::vector<std::string>& ids, bool wait) {
  std::vector<std::string> args = {"scancel"};
  args.insert(args.end(), ids.begin(), ids.end());
  // A job that has already ended makes scancel complain: nothing to tell.
  pid_t pid = StartCommand(args).pid;
  if (pid < 0) return;
  cancels_.push_back(pid);
  if (wait) ReapCancels(true);
}

void SlurmExecutor::ReapCancels(bool wait) {
  std::erase_if(cancels_, [wait](int pid) {
    int status = 0;
    pid_t r;
    while ((r = waitpid(pid, &status, wait ? 0 : WNOHANG)) < 0 && errno == EINTR) {
    }
    return r != 0;
  });
}

}  // namespace corvala4::cli
