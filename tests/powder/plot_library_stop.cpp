// A fatal error inside PLplot, after which PLplot would print its own lines and end the
// process itself, ends the run as the program's own failures do: the run's temporary files
// are removed, one message names the cause, and the status is 1. The error is raised in a
// child process, whose ending is then checked.
#include <plplot/plplot.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <string>

#include "files/pending_outputs.hpp"
#include "powder/svg_page.hpp"

extern "C" void plexit(const char* message);  // PLplot's own fatal error (plplotP.h)

int main() {
  char folder[] = "/tmp/velmora-plot-stop-XXXXXX";
  int error_pipe[2];
  if (mkdtemp(folder) == nullptr || pipe(error_pipe) != 0) return 2;
  const pid_t child = fork();
  if (child == 0) {
    dup2(error_pipe[1], 2);
    velmora::PendingOutputs outputs("velmora-powder", "this output");
    velmora::powder::begin_svg_page(outputs.reserve(std::string(folder) + "/p.svg"), 900, 560);
    plinit();
    plexit("a font file that cannot be read");
    return 0;
  }
  close(error_pipe[1]);
  std::string told;
  char piece[256];
  for (ssize_t n; (n = read(error_pipe[0], piece, sizeof piece)) > 0;)
    told.append(piece, static_cast<std::size_t>(n));
  int status = 0;
  waitpid(child, &status, 0);
  const bool empty = std::filesystem::is_empty(folder);
  std::filesystem::remove_all(folder);
  const std::string expected =
      "velmora-powder: error: --plot: the plotting library stopped: a font file that cannot be read\n";
  if (WIFEXITED(status) && WEXITSTATUS(status) == 1 && told == expected && empty) return 0;
  std::printf("status %d, files left: %s, standard error:\n%s", status, empty ? "none" : "some",
              told.c_str());
  return 1;
}
