// BeamCalc's own unit tests, registered with Corvala4 so that `beamcalc --unit-tests`
// shows them in the module's unit-runner form.
#pragma once

namespace beamcalc {

void RegisterUnitTests();

}  // namespace beamcalc
