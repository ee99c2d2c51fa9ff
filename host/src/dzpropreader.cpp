#include "dzpropreader.h"
