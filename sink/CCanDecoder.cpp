#include "sink/CCanDecoder.h"

IMPLEMENT_DYNAMIC(CCanDecoder, CObject)
