#include "ui/SettingsBinding.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QFile>
#include <QLineEdit>
#include <QMetaObject>
#include <QSlider>
#include <cmath>
#include <mutex>

namespace pellora {

// Store observers run on the changing thread and may race the binding's end:
// they reach the binding only through this relay, which the binding detaches
// under its lock before it goes.
struct SettingsBinding::Relay {
    std::mutex mutex;
    SettingsBinding* binding = nullptr;

    void postShow() {
        std::lock_guard lock(mutex);
        if (binding != nullptr) {
            SettingsBinding* target = binding;
            QMetaObject::invokeMethod(target, [target] { target->showStoredValue(); }, Qt::QueuedConnection);
        }
    }
};

SettingsBinding::SettingsBinding(QObject* control, std::string key, UserDefaults& defaults, Show show)
    : QObject(control), _key(std::move(key)), _defaults(defaults), _show(std::move(show)),
      _relay(std::make_shared<Relay>()) {
    _relay->binding = this;
    _token = _defaults.addObserver(_key, [relay = _relay](const std::string&, const PlistValue&) {
        relay->postShow();
    });
    showStoredValue();
}

SettingsBinding::~SettingsBinding() {
    _defaults.removeObserver(_token);
    std::lock_guard lock(_relay->mutex);
    _relay->binding = nullptr;
}

void SettingsBinding::store(const PlistValue& value) {
    if (_showing || _defaults.objectForKey(_key) == value) {
        return;
    }
    _defaults.setObject(value, _key);
}

void SettingsBinding::showStoredValue() {
    _showing = true;
    _show(_defaults.objectForKey(_key));
    _showing = false;
}

SettingsBinding* SettingsBinding::bindIndex(QComboBox* popUp, std::string key, UserDefaults& defaults) {
    auto* binding = new SettingsBinding(popUp, std::move(key), defaults, [popUp](const PlistValue& value) {
        const int index = value.intValue();
        popUp->setCurrentIndex(index >= 0 && index < popUp->count() ? index : 0);
    });
    connect(popUp, &QComboBox::currentIndexChanged, binding,
            [binding](int index) { binding->store(PlistValue(index)); });
    return binding;
}

namespace {

PlistValue valueOfTypedText(const QString& text) {
    bool isNumber = false;
    const int number = text.trimmed().toInt(&isNumber);
    return isNumber ? PlistValue(number) : PlistValue(text.toStdString());
}

} // namespace

SettingsBinding* SettingsBinding::bindText(QComboBox* comboBox, std::string key, UserDefaults& defaults) {
    // What is typed stays as typed: no completion from the list, and the value
    // is stored when editing ends, not at each keystroke.
    comboBox->setEditable(true);
    comboBox->setCompleter(nullptr);
    auto* binding = new SettingsBinding(comboBox, std::move(key), defaults, [comboBox](const PlistValue& value) {
        const QString text = QString::fromStdString(value.description());
        if (comboBox->currentText() != text) {
            comboBox->setEditText(text);
        }
    });
    const auto storeShownText = [binding, comboBox] { binding->store(valueOfTypedText(comboBox->currentText())); };
    connect(comboBox->lineEdit(), &QLineEdit::editingFinished, binding, storeShownText);
    // An entry picked from the list (activated also when it is the entry already current).
    connect(comboBox, &QComboBox::activated, binding, storeShownText);
    connect(comboBox, &QComboBox::currentIndexChanged, binding, storeShownText);
    return binding;
}

SettingsBinding* SettingsBinding::bindFraction(QSlider* slider, std::string key, UserDefaults& defaults,
                                               double minimum) {
    // A stored value below the minimum shows as the minimum.
    slider->setRange(static_cast<int>(std::lround(minimum * sliderFractionStep)), sliderFractionStep);
    // The keys move by whole percents, as the label counts.
    slider->setSingleStep(sliderFractionStep / 100);
    slider->setPageStep(sliderFractionStep / 10);
    auto* binding = new SettingsBinding(slider, std::move(key), defaults, [slider](const PlistValue& value) {
        const int position = static_cast<int>(std::lround(value.doubleValue() * sliderFractionStep));
        if (slider->value() != position) {
            slider->setValue(position);
        }
    });
    connect(slider, &QSlider::valueChanged, binding, [binding](int position) {
        binding->store(PlistValue(static_cast<float>(position) / static_cast<float>(sliderFractionStep)));
    });
    return binding;
}

SettingsBinding* SettingsBinding::bindCheck(QAbstractButton* checkBox, std::string key, UserDefaults& defaults) {
    checkBox->setCheckable(true);
    auto* binding = new SettingsBinding(checkBox, std::move(key), defaults, [checkBox](const PlistValue& value) {
        checkBox->setChecked(value.boolValue());
    });
    connect(checkBox, &QAbstractButton::toggled, binding, [binding](bool on) { binding->store(PlistValue(on)); });
    return binding;
}

SettingsBinding* SettingsBinding::bindZeroOrOther(QComboBox* popUp, std::string key, UserDefaults& defaults) {
    auto* binding = new SettingsBinding(popUp, std::move(key), defaults, [popUp](const PlistValue& value) {
        popUp->setCurrentIndex(value.intValue() == 0 ? 0 : 1);
    });
    connect(popUp, &QComboBox::currentIndexChanged, binding, [binding](int index) {
        // Another non-zero value already stands for the second item: keep it.
        if ((index != 0) != (binding->_defaults.integerForKey(binding->_key) != 0)) {
            binding->store(PlistValue(index == 0 ? 0 : 1));
        }
    });
    return binding;
}

SettingsBinding* SettingsBinding::bindPath(QLineEdit* field, std::string key, UserDefaults& defaults) {
    field->setReadOnly(true);
    return new SettingsBinding(field, std::move(key), defaults, [field](const PlistValue& value) {
        field->setText(QFile::decodeName(QByteArray::fromStdString(value.stringValue())));
    });
}

} // namespace pellora
