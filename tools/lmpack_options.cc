#include "tools/lmpack_options.h"

#include <algorithm>
#include <cstdio>

#include "payload/launch_arguments.h"
#include "platform/code_page.h"
#include "platform/process.h"
#include "util/utf8.h"

#ifndef LM_VERSION
#define LM_VERSION "0"
#endif

namespace {

const char kUsage[] =
    "usage:\n"
    "  lmpack pack [--target windows|windows-x64|native] [--stub LAUNCHER]\n"
    "              --run NAME -o OUT [--arguments TEXT] [--pass-arguments] [--wait-tree]\n"
    "              [--codec xz|bzip2] [--level 1-9] [--dictionary SIZE]\n"
    "              [--block-size SIZE]\n"
    "              [--jobs N] [--codepage N] [--quiet]\n"
    "              [--icon FILE.ico] [--version-info KEY=VALUE]... FOLDER\n"
    "  lmpack list [--codepage N] FILE\n"
    "  lmpack verify FILE\n"
    "  lmpack extract [--codepage N] [--quiet] FILE DIR\n"
    "  lmpack --help | --version\n"
    "\n"
    "pack    writes LAUNCHER followed by a payload holding every directory and\n"
    "        regular file under FOLDER, compressed, so that the same folder always\n"
    "        gives the same bytes. NAME is the program the launcher starts,\n"
    "        relative to FOLDER (for example bin\\setup.exe).\n"
    "        --codec xz (the default) stores them as LZMA2 in an .xz stream:\n"
    "        directories first, then the files grouped by kind and extension,\n"
    "        in blocks that the setup decodes on every core. --codec bzip2\n"
    "        stores the files in name order as one bzip2 stream, about twice the\n"
    "        size, as setups were first made.\n"
    "        --level picks the bzip2 block size or the LZMA2 preset (default 9).\n"
    "        --dictionary SIZE (xz; 64K to 1G, suffix K, M or G) sets the\n"
    "        dictionary, by default the level's, at most 64M: every machine that\n"
    "        runs the setup needs that much memory per core it decodes on. It is\n"
    "        stored rounded down to 2^n or 3*2^(n-1) bytes, and refused where it\n"
    "        would be 1G, which no setup could decode.\n"
    "        --block-size SIZE (xz; 64K to 1G): the setup decodes blocks on\n"
    "        different cores, and each block starts its dictionary afresh:\n"
    "        smaller blocks unpack faster on many cores, larger ones give a\n"
    "        smaller setup. By default data and programs go to two blocks\n"
    "        below 96M of files, then blocks of half the files, at most 128M.\n"
    "        A setup has at most 16384 blocks.\n"
    "        Without --stub the launcher for --target (default windows, the\n"
    "        32-bit launcher lmsetup.exe; windows-x64 for lmsetup64.exe) is taken\n"
    "        from beside lmpack or from its install tree (../share/lmsetup/); a\n"
    "        --stub for another machine than the target's is refused.\n"
    "        --arguments TEXT follows the program's quoted path on its command\n"
    "        line (for an .msi, msiexec's /i \"PACKAGE\"), after one space, exactly\n"
    "        as given: Windows command-line text, quotes included and closed, no\n"
    "        line break, at most 32000 bytes; stored as UTF-8, so that it reads\n"
    "        the same under every code page. --pass-arguments passes the setup's\n"
    "        own arguments on after them (setup.exe /S gives the program /S);\n"
    "        never to a batch file (.bat, .cmd), whose cmd.exe would read them\n"
    "        as commands. --wait-tree: the launcher waits until every process\n"
    "        the program started has ended too before it deletes the files.\n"
    "        --jobs N compresses on N threads (default: one per processor); the\n"
    "        output is the same for every N.\n"
    "        Names: a Windows setup stores names in the ANSI code page of the\n"
    "        machines it runs on. ASCII names are right everywhere; any other\n"
    "        name needs --codepage N (1252 Western European, 1250 Central\n"
    "        European, 1251 Cyrillic, 932 Japanese, ...), and the setup is then\n"
    "        right only for machines whose ANSI code page is N. A name that N\n"
    "        cannot represent exactly is refused. For --target native names are\n"
    "        stored as the file system has them.\n"
    "        Branding (--target windows): --icon replaces the setup's icon with\n"
    "        the images of FILE.ico; --version-info (repeatable) sets a version\n"
    "        string: CompanyName, FileDescription, FileVersion, InternalName,\n"
    "        LegalCopyright, LegalTrademarks, OriginalFilename, ProductName,\n"
    "        ProductVersion, Comments, PrivateBuild or SpecialBuild, in UTF-8.\n"
    "        FileVersion and ProductVersion are 1-4 numbers (2.5 is 2.5.0.0).\n"
    "        Language=ID and CodePage=N name the string table (default\n"
    "        Language=0x0409, US English, and CodePage=1200). Sign the setup\n"
    "        after packing, never the launcher before.\n"
    "list    prints the launch name, the payload offset, the compressed length,\n"
    "        the integrity record (matching, wrong or none) and the table of a\n"
    "        setup executable, and its version strings; names are shown\n"
    "        converted from --codepage N, without it ASCII as is and other bytes\n"
    "        as \\xNN; control characters always as \\xNN.\n"
    "verify  checks everything list checks, fails on a wrong integrity record,\n"
    "        and decompresses the data, which must hold exactly the table's\n"
    "        files; writes nothing.\n"
    "extract unpacks the setup's files into DIR, which lmpack makes, private\n"
    "        to you (natively DIR may also be an empty directory only you may\n"
    "        enter), by the launcher's own checks; runs nothing. Names are\n"
    "        converted from --codepage N, without it written as stored. On any\n"
    "        failure what it wrote is removed again.\n"
    "\n"
    "exit codes: 0 success; 1 the folder, the icon file or the launcher cannot\n"
    "be packed, or the payload is damaged; 2 wrong usage; 3 a file could not be\n"
    "read or written.\n";

Result BadUsage(const std::string& why) { return Result::Fail(Outcome::kUsage, why); }

// What the command still lacks, as the usage text names it; empty when
// nothing.
std::string Missing(const LmpackOptions& options) {
  std::string missing;
  auto need = [&missing](bool given, const char* what) {
    if (!given) missing += (missing.empty() ? "" : ", ") + std::string(what);
  };
  const bool pack = options.command == "pack", extract = options.command == "extract";
  if (pack) need(!options.run.empty(), "--run NAME");
  if (pack) need(!options.output.empty(), "-o FILE");
  need(!options.input.empty(), pack ? "FOLDER" : "SETUP");
  if (extract) need(!options.output.empty(), "DIR");
  return missing;
}

// A size in bytes with an optional binary suffix: 64K, 96M, 1G (also KiB,
// MiB, GiB).
bool ParseSize(const std::string& text, uint32_t low, uint32_t high, uint32_t* value) {
  const size_t digits = std::min(text.find_first_not_of("0123456789"), text.size());
  if (digits == 0 || digits > 10) return false;
  const std::string suffix = text.substr(digits);
  int shift = 0;
  if (suffix == "K" || suffix == "KiB") {
    shift = 10;
  } else if (suffix == "M" || suffix == "MiB") {
    shift = 20;
  } else if (suffix == "G" || suffix == "GiB") {
    shift = 30;
  } else if (!suffix.empty()) {
    return false;
  }
  const uint64_t number = std::stoull(text.substr(0, digits));
  if (number > (uint64_t{high} >> shift) || (number << shift) < low) return false;
  *value = static_cast<uint32_t>(number << shift);
  return true;
}

bool ParseNumber(const std::string& text, int low, int high, int* value) {
  if (text.empty() || text.size() > 5 || text.find_first_not_of("0123456789") != std::string::npos) return false;
  *value = std::stoi(text);
  return *value >= low && *value <= high;
}

// Takes one option (and its value) at argv[*i]; false when it is unknown or
// its value is missing or out of range.
bool TakeOption(int argc, char** argv, int* i, LmpackOptions* options) {
  std::string arg = argv[*i];
  if (arg == "--quiet" || arg == "-q") {
    options->quiet = true;
    return true;
  }
  if (arg == "--pass-arguments") {
    options->passArguments = true;
    return true;
  }
  if (arg == "--wait-tree") {
    options->waitTree = true;
    return true;
  }
  if (*i + 1 >= argc) return false;
  std::string value = argv[++*i];
  if (arg == "--stub")
    options->stub = value;
  else if (arg == "--run")
    options->run = value;
  else if (arg == "-o" || arg == "--output")
    options->output = value;
  else if (arg == "--target")
    options->target = value;
  else if (arg == "--arguments")
    options->arguments = value;
  else if (arg == "--icon")
    options->icon = value;
  else if (arg == "--version-info")
    options->versionInfo.push_back(value);
  else if (arg == "--codec")
    options->codec = value;
  else if (arg == "--dictionary")
    return ParseSize(value, 64u << 10, 1u << 30, &options->dictionary);
  else if (arg == "--block-size")
    return ParseSize(value, 64u << 10, 1u << 30, &options->blockSize);
  else if (arg == "--level")
    return ParseNumber(value, 1, 9, &options->level);
  else if (arg == "--jobs")
    return ParseNumber(value, 1, 256, &options->jobs);
  else if (arg == "--codepage")
    return ParseNumber(value, 1, 65535, &options->codePage);
  else
    return false;
  if (arg == "--codec") return value == "bzip2" || value == "xz";
  return arg != "--target" || value == "windows" || value == "windows-x64" || value == "native";
}

// The options that do not go together, or with the program to run.
Result CheckCombination(const LmpackOptions& options) {
  if (options.codePage != 0 && options.command == "pack" && !options.ForWindows()) {
    return BadUsage("--codepage is for --target windows: native setups store names as they stand");
  }
  if ((!options.icon.empty() || !options.versionInfo.empty()) && (options.command != "pack" || !options.ForWindows())) {
    return BadUsage("--icon and --version-info brand a setup made with pack --target windows");
  }
  if ((options.dictionary != 0 || options.blockSize != 0) && options.codec != "xz") {
    return BadUsage("--dictionary and --block-size are for --codec xz");
  }
  const char* problem = payload::ArgumentsProblem(options.arguments);
  if (problem != nullptr) return BadUsage(std::string("--arguments: ") + problem);
  // Both systems must split the text alike, and an open quote would take
  // the setup's own arguments into its last argument on Windows only.
  // msiexec reads its command line by its own rules: quotes pair, a
  // backslash is a backslash (INSTALLDIR="C:\App\" is closed there).
  if (payload::HasExtension(options.run, ".msi")
          ? std::count(options.arguments.begin(), options.arguments.end(), '"') % 2 != 0
          : platform::EndsInsideQuotes(options.arguments)) {
    return BadUsage("--arguments: a quoted part does not close (a backslash before a quote makes it a literal \\\")");
  }
  if (payload::IsBatchFileName(options.run) && options.run.find_first_of("%!") != std::string::npos) {
    return BadUsage("--run: " + options.run +
                    " is a batch file whose name holds % or !, which cmd.exe expands even inside quotes");
  }
  if (options.passArguments && payload::IsBatchFileName(options.run)) {
    return BadUsage("--pass-arguments: " + options.run +
                    " is a batch file, whose command interpreter would read the setup's arguments as commands; "
                    "give it fixed --arguments only");
  }
  if (options.codePage != 0 && !platform::IsSupportedCodePage(options.codePage)) {
    return BadUsage("code page " + std::to_string(options.codePage) + " is not supported");
  }
  return Result();
}

}  // namespace

namespace {

// C0 and C1 controls, DEL, and the explicit direction controls
// (U+202A-U+202E, U+2066-U+2069), which could make a line read otherwise
// than it is.
bool IsControl(uint32_t code) {
  return code < 0x20 || (code >= 0x7F && code <= 0x9F) || (code >= 0x202A && code <= 0x202E) ||
         (code >= 0x2066 && code <= 0x2069);
}

}  // namespace

std::string ShownText(const std::string& text) {
  // Where the system's text is UTF-8 (POSIX, or Windows set to 65001), a
  // byte that is no part of a valid sequence is escaped too: a lone 0x9B
  // is CSI to a terminal that reads 8-bit controls. Elsewhere such bytes
  // are the ANSI code page's letters (a path such as C:\Users\Jos\xE9).
  const bool utf8 = platform::GetAnsiCodePage() == platform::kCodePageUtf8;
  std::string shown;
  shown.reserve(text.size());
  auto escape = [&shown](char c) {
    char escaped[8];
    snprintf(escaped, sizeof(escaped), "\\x%02X", static_cast<unsigned char>(c));
    shown += escaped;
  };
  for (size_t i = 0; i < text.size();) {
    uint32_t code = 0;
    size_t length = util::DecodeUtf8At(text, i, &code);
    const bool control = length > 0 ? IsControl(code) : utf8;
    if (length == 0) length = 1;
    for (const size_t end = i + length; i < end; ++i) {
      if (control) {
        escape(text[i]);
      } else {
        shown.push_back(text[i]);
      }
    }
  }
  return shown;
}

void PrintLine(const std::string& line) { printf("%s\n", ShownText(line).c_str()); }

void ReportError(const std::string& message) { fprintf(stderr, "lmpack: %s\n", ShownText(message).c_str()); }

void PrintUsage() { fputs(kUsage, stdout); }

void PrintVersion() { printf("lmpack %s\n", LM_VERSION); }

Result ParseOptions(int argc, char** argv, LmpackOptions* options) {
  if (argc < 2) return BadUsage("no command");
  options->command = argv[1];
  if (options->command == "-h") options->command = "--help";
  if (options->command == "--help" || options->command == "--version") return Result();
  if (options->command != "pack" && options->command != "list" && options->command != "verify" &&
      options->command != "extract") {
    return BadUsage("unknown command " + options->command);
  }
  for (int i = 2; i < argc; ++i) {
    std::string arg = argv[i];
    bool isOption = !arg.empty() && arg[0] == '-';
    // extract takes its DIR as a second argument.
    bool isDirectory = !isOption && options->command == "extract" && !options->input.empty();
    if (isOption ? !TakeOption(argc, argv, &i, options)
                 : !options->input.empty() && (!isDirectory || !options->output.empty())) {
      return BadUsage("bad argument " + arg);
    }
    if (isDirectory)
      options->output = arg;
    else if (!isOption)
      options->input = arg;
  }
  bool complete = !options->input.empty() &&
                  (options->command != "pack" || (!options->run.empty() && !options->output.empty())) &&
                  (options->command != "extract" || !options->output.empty());
  if (!complete) return BadUsage(options->command + ": missing " + Missing(*options));
  return CheckCombination(*options);
}
