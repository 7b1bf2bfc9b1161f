#include "forms/form_services.h"

namespace nox::forms {

FormServices& InstalledServices() {
  static FormServices services;
  return services;
}

}  // namespace nox::forms
