#include "help.h"

#include "operations.h"

namespace rxcli {
namespace {

constexpr const char* kGeneral = R"(Usage: rastrix COMMAND [OPTIONS] [ARGUMENTS]

Describe and convert raster images.

Commands:
  info [--json] FILE...            describe image files
  convert [OPTIONS] IN OUT         convert one image
  convert --to EXT [OPTIONS] FILE-OR-FOLDER...
                                   convert many images
  formats                          list the format codes and names
  ops                              list the image operations of convert
  help [COMMAND]                   show help for a command

Options:
  -h, --help                       show help (also after a command)
      --version                    print the version

Exit status:
  0  everything worked
  1  at least one file failed; each failure is reported on standard error
  2  the command line could not be understood

A failure is reported as a line naming the file and what could not be
done, followed by the engine's error stack, one entry per line:
  #INDEX SOURCE:LINE code CODE (VALUE1, VALUE2) MESSAGE
"Error Not Found" stands in for a code without a message.

File names are taken as bytes; UTF-8 names work everywhere.
)";

constexpr const char* kInfo = R"(Usage: rastrix info [--json] FILE...

Describes page 1 of each file, one line per file, in the order given.
The format is detected from the content, not from the name.

By default each line has eight tab-separated fields:
  path, format code, format name, compression, width, height,
  bits per pixel, page count
In the path, tab, newline, carriage return and backslash are written as
\t, \n, \r and \\.

Options:
      --json    write one JSON object per line instead, with the keys
                path, format, format_name, compression, width, height,
                bits, pages; bytes of the path that are not UTF-8 become
                U+FFFD
  -h, --help    show this help

A file that cannot be described is reported on standard error and the
others go on; the exit status is then 1.
)";

constexpr const char* kConvert = R"(Usage: rastrix convert [-f CODE | --format NAME] [-q QUALITY] [-p PAGE]
                       [--max-pixels N] [OPERATION...] IN OUT
       rastrix convert --to EXT [-o DIR] [-r] [-n] [-j N] [-q QUALITY] [-p PAGE]
                       [--max-pixels N] [OPERATION...] FILE-OR-FOLDER...

The first form converts page PAGE of IN into OUT. The input's format is
detected from its content; the output's comes from -f or --format, or
else from OUT's extension. An existing OUT is replaced.

The second form converts many files, each into a file with the same base
name and the extension EXT ("photo.bmp" -> "photo.jpg"), beside the input
or under DIR.

Operations change each image between loading and saving, in the order
they are given, for example
  rastrix convert in.bmp --rotate 90 --resize 50%:bilinear --colours 16 out.bmp
An operation the image cannot take (a reduction of a 1-bit image, a
bilinear resize of a 4-bit one) fails that file with the engine's report;
nothing is written for it. The operations are listed at the end.

Options:
  -f CODE             output format code (see 'rastrix formats'); 0 picks
                      the format from OUT's extension
      --format NAME   output format by name, in any case ("bmp", "JPG")
  -q, --quality N     quality of JPEG outputs, 1 to 100
  -p, --page N        the page to convert, of every input (default 1)
      --to EXT        convert many files to extension EXT
  -o, --out-dir DIR   write the outputs under DIR (created when missing)
                      instead of beside their inputs
  -r, --recursive     walk folders' sub-folders too; under DIR the
                      outputs keep the folders' layout
  -n, --no-overwrite  leave outputs that already exist alone and count
                      them as skipped
  -j, --jobs N        convert in N worker processes (default 1, at most 256)
      --max-pixels N  refuse inputs of more than N pixels (default
                      179000000, about 500 MB as 24-bit pixels), as a
                      guard against files that claim huge images; 0 leaves
                      only the engine's own limit
  -h, --help          show this help

Inputs of the second form:
  - A file named on the command line is always taken; a file whose format
    cannot be detected fails.
  - A folder gives the files directly in it; with -r, the files in all its
    sub-folders as well. From folders only files whose extension names an
    image format are taken (a name from 'rastrix formats' except TXT, or
    JPEG, JPE, TIFF, in any case), hidden files and folders (names starting
    with '.') are left out, links to folders are not followed and DIR is
    never walked into.
  - A file reached twice is converted once. When two inputs would give
    the same output, the first one converts and the second fails.
  - A file whose output would be the file itself ("a.bmp" with --to bmp
    and no -o) is skipped.

Every output is written under a hidden temporary name in its folder
(".rastrix-tmp-PID-N.EXT") and renamed into place only when the
conversion succeeded, so a failed or
interrupted conversion never leaves an output or part of one. A failed
file is reported and the others go on. On a terminal, a progress line on
standard error shows the files done, failed and skipped.

Exit status: 0 when every file converted or was skipped, 1 when any
failed, 2 for a command line that could not be understood (or a DIR that
is not a folder).

Operations:
)";

constexpr const char* kFormats = R"(Usage: rastrix formats

Lists the format codes and names, one per line, tab-separated. The codes
go to 'convert -f', the names to 'convert --format'. Which formats can be
read or written depends on the engine: a conversion the engine cannot do
fails with its report.
)";

constexpr const char* kOps = R"(Usage: rastrix ops

Lists the image operations that 'convert' takes, one per line,
tab-separated: the option, its argument (empty when it takes none) and
what it does. Give an argument after the option or after '=':
'--rotate 90' or '--rotate=90'.
)";

}  // namespace

std::string help_text(HelpTopic topic) {
  switch (topic) {
    case HelpTopic::Info: return kInfo;
    case HelpTopic::Convert: return kConvert + operations_help();
    case HelpTopic::Ops: return kOps;
    case HelpTopic::Formats: return kFormats;
    case HelpTopic::General: break;
  }
  return kGeneral;
}

}  // namespace rxcli
