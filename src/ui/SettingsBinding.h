#pragma once

#include <QObject>
#include <functional>
#include <memory>
#include <string>

#include "platform/foundation/PlistValue.h"
#include "platform/foundation/UserDefaults.h"

class QAbstractButton;
class QComboBox;
class QLineEdit;
class QSlider;

namespace pellora {

// Ties one control to one key of the settings store: the control shows the
// stored value when bound, every change made in it is stored at once, and a
// change of the key made elsewhere (another window, another thread) is shown
// in the control on the main thread. The binding is a child of its control and
// ends with it.
class SettingsBinding : public QObject {
    Q_OBJECT

public:
    // A pop-up menu whose current index is the key's integer value.
    static SettingsBinding* bindIndex(QComboBox* popUp, std::string key, UserDefaults& defaults);
    // An editable combo box whose text is the key's value: a whole number is
    // stored as an integer, any other text as the string typed. Typed text is
    // never completed from the list; it is stored when editing ends (Enter,
    // Tab, focus leaving), a picked entry at once.
    static SettingsBinding* bindText(QComboBox* comboBox, std::string key, UserDefaults& defaults);
    // A slider that holds a fraction from minimum to 1 in steps of
    // 1/sliderFractionStep; its keys move it by 1% (arrows) and 10% (pages).
    static SettingsBinding* bindFraction(QSlider* slider, std::string key, UserDefaults& defaults,
                                         double minimum = 0.0);
    // A check box that is on when the key's value is true; stores a boolean.
    static SettingsBinding* bindCheck(QAbstractButton* checkBox, std::string key, UserDefaults& defaults);
    // A two-item pop-up over an integer key: the first item stands for 0, the
    // second for any other value, and choosing it stores 1.
    static SettingsBinding* bindZeroOrOther(QComboBox* popUp, std::string key, UserDefaults& defaults);
    // A read-only field that shows the key's value, a path in the file system's encoding.
    static SettingsBinding* bindPath(QLineEdit* field, std::string key, UserDefaults& defaults);

    ~SettingsBinding() override;

    // Slider positions per unit: fine enough that 0.125 is a position of its own.
    static constexpr int sliderFractionStep = 1000;

private:
    using Show = std::function<void(const PlistValue&)>;
    SettingsBinding(QObject* control, std::string key, UserDefaults& defaults, Show show);
    void store(const PlistValue& value);
    void showStoredValue();

    struct Relay;
    const std::string _key;
    UserDefaults& _defaults;
    const Show _show;
    std::shared_ptr<Relay> _relay;
    UserDefaults::ObserverToken _token = 0;
    bool _showing = false;
};

} // namespace pellora
