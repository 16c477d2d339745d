// GpxDocument (in progress).
#include "fileconv/GpxDocument.hpp"
