// The money of checkout step 4: the inputs that price an order
// (formats/order_price.h) the same way in both programs.
#pragma once
#include <string>

#include "formats/order_price.h"
#include "request/form.h"
#include "request/shop.h"

// Sets "Shipping"/"carrier" to the value of the field `agent`.
void record_carrier(const std::string& basket_file, const FormTable& form);

// The tax inputs of a step-4 form: its field `salestax`, the merchant's
// taxstates and the configured "tax" rate.
TaxInputs tax_inputs(const FormTable& form, const Shop& shop);
