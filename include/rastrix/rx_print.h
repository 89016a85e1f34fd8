/* Printing an image: the image is placed on a page (a printer DC of the
 * drawing layer, or any DC whose surface stands for a page) by a size mode
 * and drawn there by RX_display_image, so printing shows exactly what the
 * display engine draws, with its colour tables, anti-aliasing and
 * background. The image's device and image rectangles and its clip
 * rectangle are put back afterwards; the whole image is printed.
 *
 * Page sizes are the DC surface's in dots; its dots per inch are the DC's
 * logical resolution (96 when it reports none). An image's resolution is
 * read from its header; an image without one counts as 96 dots per inch.
 * Display rotations of a quarter turn swap the image's sides. */
#ifndef RASTRIX_RX_PRINT_H
#define RASTRIX_RX_PRINT_H

#include "rastrix/rx_types.h"

/* Size modes. */
enum {
  RX_PRINT_FIT_PAGE = 0,    /* the largest size that fits the page, keeping proportions */
  RX_PRINT_ACTUAL_SIZE = 1, /* the image's physical size at its resolution */
  RX_PRINT_FIT_WIDTH = 2,   /* the page's width, keeping proportions (cut at the bottom) */
  RX_PRINT_FIT_HEIGHT = 3,  /* the page's height, keeping proportions (cut at the right) */
  RX_PRINT_STRETCH = 4,     /* the whole page, proportions not kept */
  RX_PRINT_DOTS = 5         /* one image pixel to one printer dot */
};

/* Prints the image by a size mode (0..5; others are refused with
 * RXE_PARAMETERS_OUT_OF_LIMITS). `centre` non-zero centres it on the page
 * (a side larger than the page starts at the page's edge); zero puts it at
 * the page's top left. `use_resolution` non-zero takes the image's
 * horizontal and vertical resolutions into account when the fitting modes
 * keep proportions (a fax page of 204 by 98 dots per inch keeps its true
 * shape); zero counts pixels as square. An unknown DC is refused with
 * RXE_INVALID_HANDLE. */
RX_API int32_t RX_display_print(RX_HIMAGE image, uintptr_t dc, int32_t size_mode, int32_t centre,
                                int32_t use_resolution);

/* Prints the image into its stored device rectangle. `units_per_inch` 0
 * takes the rectangle in the page's dots; a positive value takes it in
 * units of 1/units_per_inch inch (300: 2400 by 3000 is 8 by 10 inches on
 * any printer); a negative one is refused with
 * RXE_PARAMETERS_OUT_OF_LIMITS. */
RX_API int32_t RX_display_print_rect(RX_HIMAGE image, uintptr_t dc, int32_t units_per_inch);

#endif
