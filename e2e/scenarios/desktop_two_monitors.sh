# shellcheck shell=bash
# Two monitors side by side, the primary one on the right at 1920,0: the
# copy is the primary monitor's, one to one, with shared memory and with
# Qt's own grab (which once added the monitor's origin twice).

E2E_SCREEN_W=3840
E2E_SCREEN_H=1080

scenario() { check_primary_on_the_right; }
