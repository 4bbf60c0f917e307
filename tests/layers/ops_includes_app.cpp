// Built as if it were a file of the operations' layer: the include of a
// dialog program's header must not be found.
#include "app/kelvix_app.h"
