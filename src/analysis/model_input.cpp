#include "analysis/model.h"
#include "analysis/number_reader.h"
#include "analysis/real.h"
#include "report/texts.h"

void run_analysis(disk_shaft_model& model, run_streams& r) {
    read_model(model, r);
    scale_model(model);
    system_matrices matrices = assemble_matrices(model);
    solve_natural_frequencies(model, matrices, r);
}

namespace {

enum class value_kind { inertia, stiffness };

// Reads one value. A failed read keeps the value and says why on the error
// stream, and so does a value cut short; an ended input is told only once,
// for this value and all later ones.
void read_value(run_streams& r, real& value, value_kind kind, int number, bool& end_noted) {
    double typed = value.raw();
    number_cut cut = number_cut::none;
    read_outcome outcome = read_number(r.input, typed, cut);
    value = real{typed};
    bool inertia = kind == value_kind::inertia;
    if (cut != number_cut::none) {
        bool at_limit = cut == number_cut::at_limit;
        put_error(r, inertia ? inertia_cut_note(number, typed, at_limit)
                             : stiffness_cut_note(number, typed, at_limit));
    } else if (outcome == read_outcome::not_a_number) {
        put_error(r, inertia ? inertia_not_a_number_note(number)
                             : stiffness_not_a_number_note(number));
    } else if (outcome == read_outcome::ended && !end_noted) {
        end_noted = true;
        put_error(r, inertia ? input_ended_before_inertia_note(number)
                             : input_ended_before_stiffness_note(number));
    }
}

} // namespace

void read_model(disk_shaft_model& model, run_streams& r) {
    put_text(r.report_file, text::boundary_conditions);
    bool end_noted = false;
    for (int i = 1; i <= model.disk_count - 1; ++i) {
        put_text(r.console, inertia_prompt(i));
        read_value(r, model.inertia[i], value_kind::inertia, i, end_noted);
        put_text(r.report_file, inertia_echo(i, model.inertia[i].raw()));
        put_text(r.console, stiffness_prompt(i));
        read_value(r, model.stiffness[i], value_kind::stiffness, i, end_noted);
        put_text(r.report_file, stiffness_echo(i, model.stiffness[i].raw()));
    }
    int last = model.disk_count;
    put_text(r.console, inertia_prompt(last));
    read_value(r, model.inertia[last], value_kind::inertia, last, end_noted);
    put_text(r.report_file, last_inertia_echo(last, model.inertia[last].raw()));
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
        model.inertia[j] = model.inertia[j] / model.max_inertia;
    for (int j = 1; j <= model.disk_count - 1; ++j)
        model.stiffness[j] = model.stiffness[j] / model.max_stiffness;
}

system_matrices assemble_matrices(const disk_shaft_model& model) {
    const real k1 = model.stiffness[1];
    const real k2 = model.stiffness[2];
    const real zero{0};
    system_matrices m = {
        .stiffness_matrix = {{k1, -k1, zero}, {-k1, k1 + k2, -k2}, {zero, -k2, k2}},
        .mass_matrix = {},
    };
    for (int i = 0; i < 3; ++i)
        m.mass_matrix[i][i] = model.inertia[i + 1];
    return m;
}

bool is_positive_chain(const disk_shaft_model& model) {
    const real zero{0};
    for (int j = 1; j <= model.disk_count; ++j)
        if (!(model.inertia[j] > zero && is_finite(model.inertia[j])))
            return false;
    for (int j = 1; j <= model.disk_count - 1; ++j)
        if (!(model.stiffness[j] > zero && is_finite(model.stiffness[j])))
            return false;
    return true;
}
