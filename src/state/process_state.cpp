#include "state/process_state.h"

namespace sentrova {

ProcessState& State() {
  static ProcessState state;
  return state;
}

}  // namespace sentrova
