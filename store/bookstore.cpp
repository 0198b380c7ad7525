// The book's connection, its two queries and their data sources, set up as the program uses them.
#include "bookstore.h"

#include "booktexts.h"

namespace velkora::store {

const QString BookStore::ConnectionString = QStringLiteral(
    "Provider=Microsoft.Jet.OLEDB.4.0;Data Source=Data.mdb;Persist Security Info=False;"
    "Jet OLEDB:Database Password=*.417305");
const QString BookStore::TopicStatement = QStringLiteral("Select * From master");
const QStringList BookStore::SubtopicStatement = {QStringLiteral("Select * From detail WHERE Sira=:Sira"),
                                                  QStringLiteral("Order By AltKonu")};

BookStore::BookStore(QObject *parent, const QString &connectionString)
    : QObject(parent),
      ADOConnection1(new Connection(this)),
      ADOQuery1(new Query(ADOConnection1, this)),
      ADOQuery2(new Query(ADOConnection1, this)),
      DataSource1(new DataSource(this)),
      DataSource2(new DataSource(this))
{
    ADOConnection1->setObjectName(QStringLiteral("ADOConnection1"));
    ADOConnection1->setConnectionString(connectionString);
    ADOConnection1->setKeepConnection(true);

    ADOQuery1->setObjectName(QStringLiteral("ADOQuery1"));
    ADOQuery1->setSql({TopicStatement});
    DataSource1->setObjectName(QStringLiteral("DataSource1"));
    DataSource1->setDataSet(ADOQuery1);

    ADOQuery2->setObjectName(QStringLiteral("ADOQuery2"));
    ADOQuery2->setSql(SubtopicStatement);
    if (Parameter *sira = ADOQuery2->findParameter(QStringLiteral("Sira"))) {
        sira->dataType = FieldType::String; // declared as a wide string; filled from the topic's field
        sira->size = 510;
        sira->precision = 255;
        sira->numericScale = 255;
        sira->nullable = true;
        sira->value = QVariant();
    }
    ADOQuery2->setMasterSource(DataSource1);
    DataSource2->setObjectName(QStringLiteral("DataSource2"));
    DataSource2->setDataSet(ADOQuery2);
}

BookStore::~BookStore()
{
    // The subtopic query follows the topic query; let go of the link before either is destroyed.
    ADOQuery2->setMasterSource(nullptr);
}

void BookStore::connect()
{
    ADOConnection1->open();
}

void BookStore::openQueries()
{
    ADOQuery1->open();
    ADOQuery2->open();
}

void BookStore::runTitleSearch(const QString &text)
{
    ADOQuery2->close();
    ADOQuery2->clearSql();
    ADOQuery2->setSql({titleSearchStatement(text)});
    m_searchMode = true;
    ADOQuery2->open();
}

} // namespace velkora::store
