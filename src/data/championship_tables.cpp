#include "data/championship_tables.h"
