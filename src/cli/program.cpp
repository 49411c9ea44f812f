// The catch-all of a companion. Besides the failures the programs raise, a
// failed allocation or any other exception ends the run the same way, so that
// no failure can leave the program without a message or with status 0.
#include "cli/program.hpp"

#include <cstdio>
#include <exception>
#include <new>

#include "errors/escaping.hpp"
#include "errors/failure.hpp"

namespace velmora::frontend {

void print_remarks(const std::string& program, Remarks& remarks) {
  for (const Remark& remark : remarks.items)
    std::fprintf(stderr, "%s: %s\n", program.c_str(), printable(remark.line()).c_str());
  remarks.items.clear();
}

int run_program(const ProgramSpec& spec, int argc, char** argv, Remarks& remarks,
                const std::function<int(const CommandLine&)>& body) {
  std::string message;
  bool usage = false;
  try {
    const CommandLine line = parse_command_line(spec, std::vector<std::string>(argv + 1, argv + argc));
    if (line.help) return std::fputs(spec.usage.c_str(), stdout) < 0 || std::fflush(stdout) != 0 ? 1 : 0;
    if (line.version)
      return std::printf("%s %s\n", spec.name.c_str(), VELMORA_VERSION) < 0 || std::fflush(stdout) != 0 ? 1
                                                                                                        : 0;
    const int status = body(line);
    print_remarks(spec.name, remarks);
    return status;
  } catch (const Error& e) {
    message = e.what();
    usage = e.failure().usage;
  } catch (const std::bad_alloc&) {
    message = "out of memory";
  } catch (const std::exception& e) {
    message = e.what();
  }
  print_remarks(spec.name, remarks);
  std::fprintf(stderr, "%s: error: %s\n", spec.name.c_str(), printable(message).c_str());
  if (usage) std::fputs(spec.usage.c_str(), stderr);
  return 1;
}

}  // namespace velmora::frontend
