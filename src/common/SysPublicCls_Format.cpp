#include "SysPublicCls.h"

#include "Seams.h"
#include "VbError.h"
