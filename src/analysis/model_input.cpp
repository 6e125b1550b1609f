#include "analysis/model.h"
#include "analysis/number_reader.h"
#include "analysis/real.h"
#include "report/texts.h"

void run_analysis(disk_shaft_model& model, report& r) {
    read_model(model, r);
    scale_model(model);
    system_matrices matrices = assemble_matrices(model);
    solve_natural_frequencies(model, matrices, r);
}

namespace {

enum class value_kind { inertia, stiffness };

// Reads one value. A failed read keeps the value and says why on the error
// stream; an ended input is told only once, for this value and all later ones.
void read_value(report& r, double& value, value_kind kind, int number, bool& end_noted) {
    read_outcome outcome = read_number(r.input, value);
    bool inertia = kind == value_kind::inertia;
    if (outcome == read_outcome::not_a_number) {
        put_error(r, inertia ? inertia_not_a_number_note(number)
                             : stiffness_not_a_number_note(number));
    } else if (outcome == read_outcome::ended && !end_noted) {
        end_noted = true;
        put_error(r, inertia ? input_ended_before_inertia_note(number)
                             : input_ended_before_stiffness_note(number));
    }
}

} // namespace

void read_model(disk_shaft_model& model, report& r) {
    put_text(r.file, text::boundary_conditions);
    bool end_noted = false;
    for (int i = 1; i <= model.disk_count - 1; ++i) {
        put_text(r.console, inertia_prompt(i));
        read_value(r, model.inertia[i], value_kind::inertia, i, end_noted);
        put_text(r.file, inertia_echo(i, model.inertia[i]));
        put_text(r.console, stiffness_prompt(i));
        read_value(r, model.stiffness[i], value_kind::stiffness, i, end_noted);
        put_text(r.file, stiffness_echo(i, model.stiffness[i]));
    }
    int last = model.disk_count;
    put_text(r.console, inertia_prompt(last));
    read_value(r, model.inertia[last], value_kind::inertia, last, end_noted);
    put_text(r.file, last_inertia_echo(last, model.inertia[last]));
    find_maxima(model);
}

void find_maxima(disk_shaft_model& model) {
    // Only strictly greater values replace a maximum, so it stays 0 when no
    // value of its kind is positive, and a NaN never becomes one.
    for (int j = 1; j <= model.disk_count; ++j)
        if (model.inertia[j] > model.max_inertia)
            model.max_inertia = model.inertia[j];
    for (int j = 1; j <= model.disk_count - 1; ++j)
        if (model.stiffness[j] > model.max_stiffness)
            model.max_stiffness = model.stiffness[j];
}

void scale_model(disk_shaft_model& model) {
    for (int j = 1; j <= model.disk_count; ++j)
        model.inertia[j] = (real{model.inertia[j]} / real{model.max_inertia}).v;
    for (int j = 1; j <= model.disk_count - 1; ++j)
        model.stiffness[j] = (real{model.stiffness[j]} / real{model.max_stiffness}).v;
}

system_matrices assemble_matrices(const disk_shaft_model& model) {
    real k1{model.stiffness[1]};
    real k2{model.stiffness[2]};
    system_matrices m;
    auto& k = m.stiffness_matrix;
    k[0][0] = k1.v;
    k[0][1] = (-k1).v;
    k[0][2] = 0;
    k[1][0] = (-k1).v;
    k[1][1] = (k1 + k2).v;
    k[1][2] = (-k2).v;
    k[2][0] = 0;
    k[2][1] = (-k2).v;
    k[2][2] = k2.v;
    auto& mass = m.mass_matrix;
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j)
            mass[i][j] = i == j ? model.inertia[i + 1] : 0;
    return m;
}
