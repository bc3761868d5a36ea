#include "detail/PlayerDetail.h"
