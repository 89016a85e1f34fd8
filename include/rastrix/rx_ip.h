/* Image processing. */
#ifndef RASTRIX_RX_IP_H
#define RASTRIX_RX_IP_H

#include "rastrix/rx_types.h"

#endif
