#include "port/machine_ports.h"

namespace quorvane {

port_choice::Choice ChooseThisMachinesPort() {
  return port_choice::Choose(ListMachinePorts(), ReadPortSetting());
}

}  // namespace quorvane
