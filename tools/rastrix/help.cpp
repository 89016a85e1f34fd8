#include "help.h"

#include "operations.h"

namespace rxcli {
namespace {

constexpr const char* kGeneral = R"(Usage: rastrix COMMAND [OPTIONS] [ARGUMENTS]

Describe, convert and render raster images.

Commands:
  info [--json] FILE...            describe image files
  convert [OPTIONS] IN OUT         convert one image
  convert --to EXT [OPTIONS] FILE-OR-FOLDER...
                                   convert many images
  render [OPTIONS] IN OUT          draw an image as a screen shows it
  formats                          list the formats, which load and which save
  extensions                       list the loaded extension modules
  ops                              list the image operations of convert
  help [COMMAND]                   show help for a command

Options:
  -h, --help                       show help (also after a command)
      --version                    print the version
      --no-extensions              before the command: run the bare engine,
                                   without the extension modules that ship
                                   beside rastrix (see 'rastrix extensions')

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

constexpr const char* kRender = R"(Usage: rastrix render [--size WxH] [--depth 1|4|8|16|24|32]
                      [--fit 0..3 | --zoom PERCENT] [--aspect MODE] [--centre]
                      [--rotate 0..3] [--alias MODE[,QUALITY]] [--dither 0..2]
                      [--gamma G] [--brightness B] [--contrast C] [--rop HEX]
                      [--transparent RRGGBB] [--background RRGGBB] [--printer]
                      [-p PAGE] [--max-pixels N] IN OUT

Draws page PAGE of IN through the display engine into a surface of a
display of the given depth, as a window of that size would show it, and
saves the surface as OUT (its format from the extension; BMP always
works). A surface of 8 bits or fewer is saved with the colours the
display realised, so the output shows what such a screen would show.
The surface starts white (or in the background colour).

Each option sets one display attribute of the image:
      --size WxH          the surface (window client) size; default the
                          image's size, turned as it is shown
      --depth BITS        bits per pixel of the display (default 24)
      --fit METHOD        fit into the surface (RX_display_fit_set):
                          0 keep proportions by --aspect, 1 fit the width,
                          2 fit the height, 3 actual size (the default)
      --zoom PERCENT      zoom the image placed by --aspect in the surface
                          (RX_display_zoom_set), 1 or more
      --aspect MODE       placement (RX_display_aspect_set): 0 stretch,
                          1 inside, 2 width, 3 height, 4 fill
      --centre            centre the image (RX_display_centered_set)
      --rotate R          turn 1-bit images by R x 90 degrees clockwise
                          (RX_display_rotation_set; other depths refuse)
      --alias MODE[,Q]    anti-aliasing of 1-bit images (RX_display_alias_set):
                          0 none, 1 keep black when reducing, 2 grey when
                          reducing, 3 and 4 the same with the ink-keeping
                          variant; quality Q 0..100 (default 100)
      --dither MODE       dither mode on 256 colours or fewer
                          (RX_display_dither_mode_set): 0 ordered, 1 plain
                          3-3-2, 2 palette images too through 3-3-2
      --gamma G, --brightness B, --contrast C
                          the display lookup tables (RX_display_LUT_set;
                          defaults 1, 0, 1)
      --rop HEX           the raster operation (RX_display_ROP_set), as
                          00CC0020 for a plain copy
      --transparent RRGGBB
                          this colour lets the surface show through
                          (RX_display_transparent_set)
      --background RRGGBB paint the background around the image in this
                          colour (RX_display_background_set)
      --printer           draw on a printer page (24 bits, not a display)
  -p, --page N            the page to draw (default 1)
      --max-pixels N      refuse inputs of more than N pixels (as convert)
  -h, --help              show this help

Exit status: 0 when the output was written, 1 when the engine failed
(the report names the step), 2 for a command line that could not be
understood.
)";

constexpr const char* kFormats = R"(Usage: rastrix formats

Lists the formats, one per line, with four tab-separated fields: the
format code, its name, "load" when files of the format can be read and
"save" when they can be written ("-" where they cannot). The codes go to
'convert -f', the names to 'convert --format'. A format that can be neither
loaded nor saved is still recognised: loading such a file fails with a
report that names its format.
)";

constexpr const char* kExtensions = R"(Usage: rastrix [--no-extensions] extensions

Lists the extension modules rastrix loaded: each module's path on a line
of its own, then one line per item it adds, indented by a tab and
tab-separated:
  filter  FORMAT-CODE  NAME  read,write
  codec   COMPRESSION  NAME  decode,encode

rastrix loads every module ("*.so") in the folder 'extensions' beside its
own executable, in name order, before any command; the LZW module adds GIF
reading and writing and the LZW codec of TIFF files. A module that will
not load is reported on standard error and left out. '--no-extensions',
given before the command, runs the bare engine; the listing is then empty.
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
    case HelpTopic::Render: return kRender;
    case HelpTopic::Extensions: return kExtensions;
    case HelpTopic::General: break;
  }
  return kGeneral;
}

}  // namespace rxcli
