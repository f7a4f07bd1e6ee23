#include "search/collation.h"
