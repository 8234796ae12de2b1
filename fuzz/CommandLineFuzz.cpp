// The command-line splitter with the builder's quoting: any text splits
// without harm, and a path quoted by the builder splits back to itself,
// alone or inside an encoder command line.
#include "CommandBuilder.h"
#include "CommandLine.h"
#include "FuzzInput.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace tarquel;
  const auto fields = fuzz::Fields(data, size, 2);
  const std::string& input = fields[0];
  const std::string output = fields.size() > 1 ? fields[1] : std::string("out.mp4");

  platform::SplitCommandLineArguments(input);
  platform::SplitProgramAndArguments(input, [](const std::string& prefix) { return prefix.size() % 3 == 0; });

  FUZZ_ASSERT(platform::SplitCommandLineArguments(QuotedPath(input)) == std::vector<std::string>{input});
  const auto args = platform::SplitCommandLineArguments(" -y -i " + QuotedPath(input) + " -vcodec xvid -b 512 " +
                                                        QuotedPath(output));
  FUZZ_ASSERT((args == std::vector<std::string>{"-y", "-i", input, "-vcodec", "xvid", "-b", "512", output}));
  return 0;
}
