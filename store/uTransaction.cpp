#include "store/uTransaction.h"
