#include "sceneview.h"
